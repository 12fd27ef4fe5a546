// The file dialog that QML asks for a file: the result's form, cancelling,
// and dialogs closed while they wait.

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QtTest>

#include "logcapture.h"
#include "tavrifilepicker.h"
#include "testenvironment.h"

class TestFilePicker : public QObject
{
    Q_OBJECT

private slots:
    void chosenFileIsUrl_data();
    void chosenFileIsUrl();
    void cancelReturnsEmpty_data();
    void cancelReturnsEmpty();
    void closingPendingDialogsReturnsEmpty();

private:
    // Runs `act` on the picker's dialog once it is open (from inside the
    // dialog's own event loop), then asks for a file.
    QString pick(TavriFilePicker &picker, bool save, const std::function<void(QFileDialog *)> &act);
};

QString TestFilePicker::pick(TavriFilePicker &picker, bool save, const std::function<void(QFileDialog *)> &act)
{
    // The dialog may not take an answer at once (its folder is read in the
    // background, and a name it cannot see yet raises a message box with a
    // loop of its own): the answer is given again until the dialog has
    // gone, and a dialog still open after a minute is cancelled and the
    // pick fails.
    constexpr qint64 kDeadlineMs = 60000;
    constexpr qint64 kRetryMs = 250;
    bool acted = false;
    bool timedOut = false;
    QElapsedTimer clock;
    clock.start();
    qint64 lastAct = -kRetryMs;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        QFileDialog *dialog = picker.findChild<QFileDialog *>();
        if (!dialog || !dialog->isVisible())
            return;
        for (QMessageBox *box : dialog->findChildren<QMessageBox *>()) {
            if (box->isVisible()) {
                box->reject();
                return;
            }
        }
        if (clock.elapsed() > kDeadlineMs) {
            timedOut = true;
            dialog->reject();
            return;
        }
        if (clock.elapsed() - lastAct < kRetryMs)
            return;
        lastAct = clock.elapsed();
        acted = true;
        act(dialog);
    });
    poll.start();
    const QString result =
        picker.getFileUrl(QStringLiteral("Choose"), QDir::tempPath(), QStringLiteral("Sound (*.wav)"), save);
    if (!acted)
        return QStringLiteral("<dialog never opened>");
    if (timedOut)
        return QStringLiteral("<dialog still open after a minute>");
    return result;
}

void TestFilePicker::chosenFileIsUrl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("open") << "ding.wav" << false << "ding.wav";
    QTest::newRow("save") << "new.wav" << true << "new.wav";
    QTest::newRow("space and percent") << "a b%20c.wav" << false << "a%20b%2520c.wav";
    QTest::newRow("hash and question mark") << "x#1?.wav" << false << "x%231%3F.wav";
}

void TestFilePicker::chosenFileIsUrl()
{
    QFETCH(QString, name);
    QFETCH(bool, save);
    QFETCH(QString, encoded);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    if (!save) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    TavriFilePicker picker;
    LogCapture capture;
    const QString url = pick(picker, save, [&](QFileDialog *dialog) {
        // Typed into the name field, as a person does (selectFile leaves a
        // field that has the focus alone).
        if (auto *field = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            field->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QVERIFY(url.startsWith(QStringLiteral("file:///")));
    QCOMPARE(QUrl(url).toLocalFile(), path);
    QCOMPARE(QUrl(url).toEncoded(), QUrl::fromLocalFile(dir.path()).toEncoded() + '/' + encoded.toLatin1());
    bool loggedName = false;
    for (const CapturedLine &line : capture.lines())
        loggedName =
            loggedName || (line.message.startsWith(QStringLiteral("Filename: ")) && line.message.contains(name));
    QVERIFY(loggedName);
}

void TestFilePicker::cancelReturnsEmpty_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("open") << false;
    QTest::newRow("save") << true;
}

void TestFilePicker::cancelReturnsEmpty()
{
    QFETCH(bool, save);
    TavriFilePicker picker;
    QCOMPARE(pick(picker, save, [](QFileDialog *dialog) { dialog->reject(); }), QString());
}

void TestFilePicker::closingPendingDialogsReturnsEmpty()
{
    TavriFilePicker picker;
    QPointer<QFileDialog> seen;
    const QString result = pick(picker, false, [&](QFileDialog *dialog) {
        seen = dialog;
        dialog->selectFile(QStringLiteral("chosen-but-not-confirmed.wav"));
        picker.closePendingDialogs();
    });
    QCOMPARE(result, QString());
    // The dialog left the picker when it was closed.
    QVERIFY(picker.findChildren<QFileDialog *>().isEmpty());
}

TAVRI_TEST_MAIN(TestFilePicker)
#include "tst_filepicker.moc"
