#include "stylemanager.h"

#include <QDebug>

namespace {

StyleManager *s_instance = nullptr;

} // namespace

StyleManager::StyleManager(QQmlEngine *engine, const QString &stylePath, QObject *parent)
    : QObject(parent)
    , m_stylePath(stylePath)
{
    Q_UNUSED(engine)
    if (!s_instance)
        s_instance = this;
}

StyleManager::~StyleManager()
{
    if (s_instance == this)
        s_instance = nullptr;
}

StyleManager *StyleManager::getInstance(QQmlEngine *engine)
{
    if (!s_instance)
        new StyleManager(engine, QString(), nullptr);
    return s_instance;
}
