#include "tones.h"

#include <QDataStream>
#include <QMap>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace tones {
namespace {

constexpr int SampleRate = 44100;
constexpr double PeakGain = 0.398; // -8 dBFS
constexpr double FadeSeconds = 0.005;
constexpr double Pi = 3.14159265358979323846;

enum class Timbre {
    Soft, // a rounded tone: the two-note joins, leaves and mute cues
    Bell, // inharmonic partials: the chimes and presence cues
};

struct Note {
    double frequency;
    double start;  // seconds
    double length; // seconds until the note is cut with a short release
    double gain;
};

struct Sound {
    double seconds;
    Timbre timbre;
    QVector<Note> notes;
};

// Note frequencies of the equal-tempered scale used below.
constexpr double C5 = 523.25, D5 = 587.33, E5 = 659.26, G5 = 783.99, A5 = 880.00, B5 = 987.77;
constexpr double C6 = 1046.50, E6 = 1318.51, G6 = 1567.98;

const QMap<QString, Sound> &catalogue()
{
    static const QMap<QString, Sound> sounds{
        // Rising two-note cues.
        {QStringLiteral("sfx_user_unmutes_mic.wav"),
         {0.22, Timbre::Soft, {{E5, 0.0, 0.09, 1.0}, {A5, 0.09, 0.12, 1.0}}}},
        {QStringLiteral("sfx_another_user_enters_my_voice_conference.wav"),
         {0.36, Timbre::Soft, {{E5, 0.0, 0.14, 0.9}, {B5, 0.14, 0.22, 1.0}}}},
        {QStringLiteral("sfx_user_enters_voice_conference.wav"),
         {0.48, Timbre::Soft, {{C5, 0.0, 0.16, 1.0}, {G5, 0.16, 0.32, 1.0}}}},
        {QStringLiteral("sfx_friend_online.wav"), {0.45, Timbre::Bell, {{D5, 0.0, 0.2, 0.8}, {A5, 0.13, 0.32, 1.0}}}},
        // Falling two-note cues: the same pairs, turned round.
        {QStringLiteral("sfx_user_mutes_mic.wav"), {0.22, Timbre::Soft, {{A5, 0.0, 0.09, 1.0}, {E5, 0.09, 0.12, 1.0}}}},
        {QStringLiteral("sfx_another_user_exits_my_voice_conference.wav"),
         {0.36, Timbre::Soft, {{B5, 0.0, 0.14, 1.0}, {E5, 0.14, 0.22, 0.9}}}},
        {QStringLiteral("sfx_user_exits_voice_conference.wav"),
         {0.48, Timbre::Soft, {{G5, 0.0, 0.16, 1.0}, {C5, 0.16, 0.32, 1.0}}}},
        {QStringLiteral("sfx_friend_offline.wav"), {0.45, Timbre::Bell, {{A5, 0.0, 0.2, 1.0}, {D5, 0.13, 0.32, 0.8}}}},
        // Chimes.
        {QStringLiteral("sfx_private_text_chat_message_available.wav"),
         {0.6, Timbre::Bell, {{B5, 0.0, 0.3, 0.9}, {E6, 0.08, 0.52, 1.0}}}},
        {QStringLiteral("sfx_text_chat_message_available.wav"),
         {0.5, Timbre::Bell, {{G5, 0.0, 0.25, 0.8}, {B5, 0.06, 0.44, 0.9}}}},
        {QStringLiteral("sfx_notification_alert.wav"),
         {0.75, Timbre::Bell, {{C6, 0.0, 0.3, 0.8}, {E6, 0.1, 0.35, 0.85}, {G6, 0.2, 0.55, 1.0}}}},
        // Test sounds: an arpeggio that lets the user judge level and clarity.
        {QStringLiteral("output_test.wav"),
         {2.5, Timbre::Soft, {{C5, 0.0, 0.55, 0.9}, {E5, 0.5, 0.55, 0.9}, {G5, 1.0, 0.55, 0.9}, {C6, 1.5, 1.0, 1.0}}}},
        {QStringLiteral("rendertest.wav"),
         {2.0, Timbre::Bell, {{G5, 0.0, 0.9, 0.9}, {D5, 0.5, 0.9, 0.8}, {B5, 1.0, 0.95, 0.9}}}},
    };
    return sounds;
}

// One note's samples added into the buffer.
void addNote(QVector<double> &buffer, const Note &note, Timbre timbre)
{
    struct Partial {
        double ratio, gain, decay; // decay: seconds to fall to 1/e
    };
    static const QVector<Partial> soft{{1.0, 1.0, 0.35}, {2.0, 0.28, 0.18}, {3.0, 0.08, 0.1}};
    static const QVector<Partial> bell{{1.0, 1.0, 0.4}, {2.76, 0.32, 0.16}, {5.4, 0.12, 0.07}};
    const QVector<Partial> &partials = timbre == Timbre::Soft ? soft : bell;
    const double attack = 0.006, release = 0.03;
    const int first = int(note.start * SampleRate);
    const int last = std::min(int(buffer.size()), int((note.start + note.length + release) * SampleRate));
    for (int i = first; i < last; ++i) {
        const double t = double(i - first) / SampleRate;
        double envelope = std::min(1.0, t / attack);
        if (t > note.length)
            envelope *= std::max(0.0, 1.0 - (t - note.length) / release);
        double sample = 0;
        for (const Partial &partial : partials)
            sample +=
                partial.gain * std::exp(-t / partial.decay) * std::sin(2 * Pi * note.frequency * partial.ratio * t);
        buffer[i] += note.gain * envelope * sample;
    }
}

QByteArray encode(const QVector<double> &samples)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = quint32(samples.size() * 2);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVE", 4);
    out.writeRawData("fmt ", 4);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(SampleRate) << quint32(SampleRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (double sample : samples)
        out << qint16(std::lround(std::clamp(sample, -1.0, 1.0) * 32767));
    return data;
}

} // namespace

QByteArray wav(const QString &fileName)
{
    const auto found = catalogue().constFind(fileName);
    if (found == catalogue().constEnd())
        return {};
    const Sound &sound = *found;
    QVector<double> buffer(int(sound.seconds * SampleRate), 0.0);
    for (const Note &note : sound.notes)
        addNote(buffer, note, sound.timbre);

    double peak = 0;
    for (double sample : buffer)
        peak = std::max(peak, std::abs(sample));
    const int fade = int(FadeSeconds * SampleRate);
    for (int i = 0; i < buffer.size(); ++i) {
        const int edge = std::min(i, int(buffer.size()) - 1 - i);
        const double ramp = edge < fade ? double(edge) / fade : 1.0;
        buffer[i] *= ramp * PeakGain / peak;
    }
    return encode(buffer);
}

QStringList names()
{
    return catalogue().keys();
}

} // namespace tones
