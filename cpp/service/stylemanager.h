#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

class QQmlEngine;

// StyleManager: the program's look (skins and chat colours).
//
// Holds one style object, a QML object whose properties every window reads,
// loaded at construction from a style file (the built-in style for an empty
// path), and hands out chat colours for conversation participants in turn.
// Start-up creates the single instance for the shared QML engine and wires
// chatColorsChanged. Switching skins is still to come. GUI thread only.
class StyleManager : public QObject
{
    Q_OBJECT

public:
    // Loads the style file at stylePath; an empty path loads the built-in
    // style. The first style manager constructed becomes the single instance.
    StyleManager(QQmlEngine *engine, const QString &stylePath, QObject *parent = nullptr);
    ~StyleManager() override;

    // The single instance, constructed with engine, an empty path and no
    // parent on the first call.
    static StyleManager *getInstance(QQmlEngine *engine = nullptr);

    // The loaded style object; null when loading failed.
    QObject *style() const { return m_style; }
    bool isValid() const { return m_style != nullptr; }
    QString getStyleName() const { return m_styleName; }

    // The style object's property of that name; invalid when there is none.
    QVariant getStyleProperty(const char *name) const;
    // The style's "chatColors" list, in order; empty without one.
    QList<QColor> getChatColors() const;
    // The next chat colour, round robin, starting over after the last. An
    // invalid colour when the style has no chat colours.
    QColor takeChatColor();

signals:
    void chatColorsChanged(QList<QColor> chatColors);

private:
    QObject *m_style = nullptr;
    QString m_styleName;
    QString m_stylePath;
    int m_chatColorIndex = 0;
};
