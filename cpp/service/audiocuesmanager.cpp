#include "audiocuesmanager.h"

AudioCuesManager::AudioCuesManager(QObject *parent)
    : QObject(parent)
{
}

AudioCuesManager::~AudioCuesManager() = default;
