#pragma once

#include "ctimessage.h"

#include <QRunnable>
#include <QString>

//! Handles one large response off the main thread, on the global thread pool (auto-deleted when
//! run() returns). It works on its own copy of the message and touches no connector state.
class CTIConnectorResponseHandler : public QRunnable
{
public:
    //! Conversation items handed to the main thread at a time. The worker hands the next batch over
    //! only once the main thread has delivered the previous one, so the main event loop never has
    //! more than one batch of deliveries queued and its timers keep running between batches.
    static constexpr int batchSize = 128;
    //! Waiting longer than this for a batch to be delivered (the main thread blocked, or waiting for
    //! this worker) ends the pacing: the rest of the items are handed over without waiting.
    static constexpr int pacingTimeoutMs = 1000;
    //! Received texts at least this long are looked at by startForText().
    static constexpr int offThreadParseMinSize = 64 * 1024;

    explicit CTIConnectorResponseHandler(CTIMessage &message);

    //! A text of at least offThreadParseMinSize whose envelope names that response, within its
    //! first or last few hundred characters (where a top-level member stands).
    static bool namesResponse(const QString &text, const QString &name);

    //! Called by the connector with every received text before it parses it. A long text whose
    //! envelope names "requestUCItems" (within its first or last few hundred characters, where a
    //! top-level member stands) is parsed on the thread pool and handled there: true. Otherwise false,
    //! and the connector parses and dispatches the text itself. A text that turns out not to be a
    //! "requestUCItems" response after all is handed back to the connector's dispatch on the main
    //! thread.
    static bool startForText(const QString &text);

    //! "requestUCItems" runs handleResponse_requestUCItems(); any other name does nothing.
    void run() override;
    //! Builds one conversation item per member of the "items" object, in member-name order, moves
    //! it to the connector's (main) thread and hands it over by CTIConnector::onUcItemAdded().
    void handleResponse_requestUCItems();

private:
    CTIMessage m_message;
};
