#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>

class QQmlEngine;

// StyleManager: the program's look (skins and chat colours).
//
// For now it only exists and carries its signal: start-up creates the single
// instance for the shared QML engine and wires chatColorsChanged. Loading a
// style object, switching skins and handing out chat colours are still to
// come; until then style() is null and windows see no "styleManager" object.
class StyleManager : public QObject
{
    Q_OBJECT

public:
    // An empty stylePath stands for the built-in style.
    StyleManager(QQmlEngine *engine, const QString &stylePath, QObject *parent = nullptr);
    ~StyleManager() override;

    // The single instance, constructed with engine, an empty path and no
    // parent on the first call.
    static StyleManager *getInstance(QQmlEngine *engine);

    // The loaded style object; null while none is loaded.
    QObject *style() const { return m_style; }

signals:
    void chatColorsChanged(QList<QColor> chatColors);

private:
    QObject *m_style = nullptr;
    QString m_stylePath;
};
