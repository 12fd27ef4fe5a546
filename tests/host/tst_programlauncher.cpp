#include "programlauncher.h"

#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestProgramLauncher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsByBareNameFromCurrentDir();
    void refusesWhatCannotRun_data();
    void refusesWhatCannotRun();

private:
    QString m_previousDir;
    QTemporaryDir *m_workDir = nullptr;
};

void TestProgramLauncher::init()
{
    m_previousDir = QDir::currentPath();
    m_workDir = new QTemporaryDir;
    QVERIFY(m_workDir->isValid());
    QVERIFY(QDir::setCurrent(m_workDir->path()));
}

void TestProgramLauncher::cleanup()
{
    QDir::setCurrent(m_previousDir);
    delete m_workDir;
    m_workDir = nullptr;
}

void TestProgramLauncher::startsByBareNameFromCurrentDir()
{
    // An updater that records its argument and working directory.
    QFile script(QStringLiteral("updater.exe"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n%s\\n' \"$1\" \"$(pwd)\" > started.tmp && mv started.tmp started.txt\n");
    script.close();
    QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

    const QString pid = QString::number(QCoreApplication::applicationPid());
    QVERIFY(host::ProgramLauncher::startDetachedFromCurrentDir(QStringLiteral("updater.exe"), {pid}));

    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("started.txt")), 10000);
    QFile out(QStringLiteral("started.txt"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(out.readAll()).split('\n');
    QCOMPARE(lines.value(0), pid);
    QCOMPARE(QDir(lines.value(1)).canonicalPath(), QDir(m_workDir->path()).canonicalPath());
}

void TestProgramLauncher::refusesWhatCannotRun_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("createPlainFile");
    QTest::newRow("missing") << "updater.exe" << false;
    QTest::newRow("not executable") << "updater.exe" << true;
    QTest::newRow("empty name") << "" << false;
}

void TestProgramLauncher::refusesWhatCannotRun()
{
    QFETCH(QString, program);
    QFETCH(bool, createPlainFile);
    if (createPlainFile) {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\ntouch ran.txt\n");
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ProgramLauncher: "));
    QVERIFY(!host::ProgramLauncher::startDetachedFromCurrentDir(program, {QStringLiteral("1")}));
}

TAVRI_TEST_GUILESS_MAIN(TestProgramLauncher)
#include "tst_programlauncher.moc"
