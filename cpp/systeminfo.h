#pragma once

#include <QObject>
#include <QString>

// SystemInfo: the computer's manufacturer and model, for the reports that
// the post-call survey and the report-issue window send. Both start empty.
class SystemInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString systemManufacturer READ systemManufacturer CONSTANT)
    Q_PROPERTY(QString systemModel READ systemModel CONSTANT)

public:
    explicit SystemInfo(QObject *parent = nullptr);
    ~SystemInfo() override;

    QString systemManufacturer() const { return m_systemManufacturer; }
    QString systemModel() const { return m_systemModel; }

protected:
    QString m_systemManufacturer;
    QString m_systemModel;
};
