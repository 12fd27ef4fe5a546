#include "tavrifilepicker.h"

#include <QDebug>
#include <QFileDialog>
#include <QUrl>

TavriFilePicker::TavriFilePicker(QWidget *parent)
    : QWidget(parent)
{
}

TavriFilePicker::~TavriFilePicker() = default;

QString TavriFilePicker::getFileUrl(const QString &sHeading, const QString &sDefaultPath, const QString &sFilter,
                                    bool bSave)
{
    const QString path = bSave ? QFileDialog::getSaveFileName(this, sHeading, sDefaultPath, sFilter)
                               : QFileDialog::getOpenFileName(this, sHeading, sDefaultPath, sFilter);
    qDebug() << "Filename: " << path;
    if (path.isEmpty())
        return QString();
    return QUrl::fromLocalFile(path).toString();
}

void TavriFilePicker::closePendingDialogs()
{
    const QList<QFileDialog *> dialogs = findChildren<QFileDialog *>();
    for (QFileDialog *dialog : dialogs) {
        dialog->setParent(nullptr);
        dialog->reject();
    }
}
