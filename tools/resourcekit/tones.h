#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Tavri's sounds, synthesised: PCM 16-bit mono 44.1 kHz WAV files, peaks at
// -8 dBFS, 5 ms fades at both ends.
namespace tones {

// The WAV file of that name ("sfx_friend_online.wav"); empty when the name is
// unknown.
QByteArray wav(const QString &fileName);

QStringList names();

} // namespace tones
