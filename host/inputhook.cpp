#include "inputhook.h"

#include "xinputhook.h"

#include <QMutex>

namespace host {

namespace {
QMutex factoryMutex;
InputHook::Factory &factory()
{
    static InputHook::Factory instance;
    return instance;
}
} // namespace

InputHook::~InputHook() = default;

std::unique_ptr<InputHook> InputHook::create()
{
    Factory current;
    {
        QMutexLocker lock(&factoryMutex);
        current = factory();
    }
    if (current)
        return current();
    return std::make_unique<XInputHook>();
}

void InputHook::setFactory(Factory newFactory)
{
    QMutexLocker lock(&factoryMutex);
    factory() = std::move(newFactory);
}

} // namespace host
