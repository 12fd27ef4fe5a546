#pragma once

// A small fixture for the voice SDK tests: starts the library on a fresh
// world, issues requests, drains the message queue and describes what came
// back as short tags ("E24" an event of type 24, "R8" a response of type 8,
// "R8!403" a failed one with its status).

#include "ostrelsdk.h"
#include "ostrelsdk_control.h"

#include <QString>
#include <QStringList>
#include <QTest>

#include <vector>

class SdkHarness
{
public:
    ~SdkHarness() { stop(); }

    bool start()
    {
        oxc_reset();
        oxc_set_meter_interval(0);
        ox_config_t config;
        ox_get_default_config(&config);
        m_started = ox_initialize3(&config, int(sizeof(config))) == 0;
        return m_started;
    }

    void stop()
    {
        clear();
        if (m_started)
            ox_uninitialize();
        m_started = false;
        oxc_reset();
    }

    // Waits until the library is idle and takes every queued message.
    void drain()
    {
        QCOMPARE(oxc_wait_idle(5000), 0);
        ox_message_base_t *m = nullptr;
        while (ox_get_message(&m) == 0)
            messages.push_back(m);
    }

    void clear()
    {
        for (ox_message_base_t *m : messages)
            ox_destroy_message(m);
        messages.clear();
    }

    QStringList tags() const
    {
        QStringList result;
        for (ox_message_base_t *m : messages) {
            if (m->type == OX_MSG_EVENT) {
                result << QStringLiteral("E%1").arg(int(reinterpret_cast<ox_evt_base_t *>(m)->type));
            } else {
                auto *r = reinterpret_cast<ox_resp_base_t *>(m);
                result << (r->return_code ? QStringLiteral("R%1!%2").arg(int(r->type)).arg(r->status_code)
                                          : QStringLiteral("R%1").arg(int(r->type)));
            }
        }
        return result;
    }

    template <typename T>
    std::vector<T *> events(int type) const
    {
        std::vector<T *> result;
        for (ox_message_base_t *m : messages)
            if (m->type == OX_MSG_EVENT && reinterpret_cast<ox_evt_base_t *>(m)->type == type)
                result.push_back(reinterpret_cast<T *>(m));
        return result;
    }

    template <typename T>
    T *response(int type) const
    {
        for (ox_message_base_t *m : messages)
            if (m->type == OX_MSG_RESPONSE && reinterpret_cast<ox_resp_base_t *>(m)->type == type)
                return reinterpret_cast<T *>(m);
        return nullptr;
    }

    // Issues a request and returns everything that came back.
    template <typename T>
    QStringList run(T *request)
    {
        clear();
        ox_issue_request(&request->base);
        drain();
        return tags();
    }

    QString connector(const char *url = "https://www.voice.example/api2")
    {
        ox_req_connector_create_t *r = nullptr;
        ox_req_connector_create_create(&r);
        r->server_url = ox_strdup(url);
        run(r);
        auto *resp = response<ox_resp_connector_create_t>(OX_RESP_CONNECTOR_CREATE);
        return resp && !resp->base.return_code ? QString::fromLatin1(resp->connector_handle) : QString();
    }

    QString login(const QString &connector, const char *token)
    {
        ox_req_account_authtoken_login_t *r = nullptr;
        ox_req_account_authtoken_login_create(&r);
        r->connector_handle = ox_strdup(connector.toLatin1().constData());
        r->auth_token = ox_strdup(token);
        run(r);
        auto *resp = response<ox_resp_account_authtoken_login_t>(OX_RESP_ACCOUNT_AUTHTOKEN_LOGIN);
        return resp && !resp->base.return_code ? QString::fromLatin1(resp->account_handle) : QString();
    }

    QString group(const QString &account)
    {
        ox_req_sessiongroup_create_t *r = nullptr;
        ox_req_sessiongroup_create_create(&r);
        r->account_handle = ox_strdup(account.toLatin1().constData());
        run(r);
        auto *resp = response<ox_resp_sessiongroup_create_t>(OX_RESP_SESSIONGROUP_CREATE);
        return resp && !resp->base.return_code ? QString::fromLatin1(resp->session_group_handle) : QString();
    }

    QStringList join(const QString &group, const char *uri, int audio, int text = 1, const char *password = "")
    {
        ox_req_sessiongroup_add_session_t *r = nullptr;
        ox_req_sessiongroup_add_session_create(&r);
        r->session_group_handle = ox_strdup(group.toLatin1().constData());
        r->uri = ox_strdup(uri);
        r->password = ox_strdup(password);
        r->connect_audio = audio;
        r->connect_text = text;
        return run(r);
    }

    QString joinedSession() const
    {
        auto *resp = response<ox_resp_sessiongroup_add_session_t>(OX_RESP_SESSIONGROUP_ADD_SESSION);
        return resp ? QString::fromLatin1(resp->session_handle) : QString();
    }

    QStringList send(const QString &session, const char *body)
    {
        ox_req_session_send_message_t *r = nullptr;
        ox_req_session_send_message_create(&r);
        r->session_handle = ox_strdup(session.toLatin1().constData());
        r->message_header = ox_strdup("");
        r->message_body = ox_strdup(body);
        r->base.cookie = ox_strdup("2001");
        return run(r);
    }

    std::vector<ox_message_base_t *> messages;

private:
    bool m_started = false;
};
