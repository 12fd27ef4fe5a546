#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class QQmlEngine;

// StyleManager: the program's look (skins and chat colours).
//
// Holds one style object, a QML object whose root derives from the schema
// type StyleManager of the controls library and whose properties every
// window reads, loaded at construction from a style file (the built-in style
// for an empty path). The first style manager constructed is the single
// instance; its style object is the one QML sees as "styleManager" and is
// never replaced: switching styles (setStyle, resetStyle) copies the new
// style's values into it, so every binding stays live.
//
// Styles are found by folder: skins/<Name>/<Name>.qml in each of the skin
// directories. Chat colours are handed out in turn from the style's
// "chatColors" list. GUI thread only.
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
    // The name of the single instance's style; the built-in style's name
    // is "Default".
    static QString getCurrentStyleName();
    static QString defaultStyleName();

    // "Default" and then the name of every valid style found in the skin
    // directories, each name once, in search order.
    static QStringList getAvailableStyles();
    // Applies the style of that name: "Default" or the first skin folder of
    // that name. False when no folder has that name or its style is invalid;
    // the style in force is then unchanged.
    static bool setStyle(const QString &name);
    // Copies a loaded style into the style in force (the built-in style for
    // a null source). False, changing nothing, when the source is invalid.
    static bool resetStyle(StyleManager *source);
    // Copies every writable property of source into target, recursing into
    // QML-object-valued properties (the state groups), so that bindings to
    // target see the new values.
    //
    // With `unsetValues` (an object of the bare schema, grouped alike), a
    // source value equal to the schema's placeholder counts as not set by the
    // source: the target keeps its value and the property's name is added to
    // `unset` (when given) if the target's value differs from the placeholder.
    static void copyStyleProperties(const QObject *source, QObject *target, const QObject *unsetValues = nullptr,
                                    QStringList *unset = nullptr);
    // The folders searched for skins, in order: "skins" in the working
    // directory (always), then in each data location and each application
    // configuration location that exists and is readable.
    static QStringList getSkinDirectories();

    // The loaded style object; null when loading failed.
    QObject *style() const { return m_style; }
    bool isValid() const { return m_style != nullptr; }
    QString getStyleName() const { return m_styleName; }
    QString getStylePath() const { return m_stylePath; }

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
    static bool derivesFromSchema(const QObject *object);
    static void reinitAudioCues(QObject *style);
    // getChatColors without its log lines.
    QList<QColor> readChatColors() const;

    QObject *m_style = nullptr;
    QString m_styleName;
    QString m_stylePath;
    int m_chatColorIndex = 0;
};
