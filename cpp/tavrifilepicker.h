#pragma once

#include <QString>
#include <QWidget>

// TavriFilePicker: asks the user for a file to open or a name to save to,
// for QML, which has no file dialog of its own here. Published to every
// window as "filePicker". A widget only to parent its dialogs; never shown.
class TavriFilePicker : public QWidget
{
    Q_OBJECT

public:
    explicit TavriFilePicker(QWidget *parent = nullptr);
    ~TavriFilePicker() override;

    // The chosen file as a "file:" URL text; empty when nothing was chosen.
    Q_INVOKABLE QString getFileUrl(const QString &sHeading, const QString &sDefaultPath, const QString &sFilter,
                                   bool bSave);
    // Rejects every file dialog that is open, so that its caller gets an
    // empty result.
    void closePendingDialogs();
};
