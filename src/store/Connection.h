#pragma once
// The connection to a data folder's tables: the session "Default" with its network folder
// {data folder}/net and the connection TDataBaseNew on {data folder}/db. Table handles and
// queries of the store that openConnection() returns go through the connection when their
// folder is the connection's (they fail while it is closed, and its close closes them); those
// of any other folder (the branch folders "db2", "db3"...) open by folder.
//
// The net folder only has to exist: the tables coordinate processes by locks on their own
// files (see store/FamilyFiles.h), so nothing kept there can make two programs working on the
// same folder wait for or refuse each other.

#include <memory>
#include <string>
#include <vector>

#include "store/TableStore.h"

namespace sivaro {

class TDataBaseNew;

class Session {
  public:
    void close();  // closes every connection of the session
    void setSessionName(const std::string& name) { m_name = name; }
    const std::string& sessionName() const { return m_name; }
    // Checked, and created when missing, by the open of a connection of the session.
    void setNetFileDir(const std::string& folder) { m_netFileDir = folder; }
    const std::string& netFileDir() const { return m_netFileDir; }

  private:
    friend class TDataBaseNew;
    std::string m_name;
    std::string m_netFileDir;
    std::vector<TDataBaseNew*> m_connections;
};

// Readers of a connection see every row another handle of the process has posted.
enum class TransIsolation { DirtyRead, ReadCommitted, RepeatableRead };

class TDataBaseNew {
  public:
    TDataBaseNew() = default;
    ~TDataBaseNew();
    TDataBaseNew(const TDataBaseNew&) = delete;
    TDataBaseNew& operator=(const TDataBaseNew&) = delete;

    void setSession(std::shared_ptr<Session> session);
    void setTransIsolation(TransIsolation isolation) { m_isolation = isolation; }
    TransIsolation transIsolation() const { return m_isolation; }
    void setDatabaseName(const std::string& folder);  // the folder of the tables
    const std::string& databaseName() const { return m_databaseName; }

    // Needs a session with a network folder and an existing table folder; errors name them.
    void open();
    // Closes every table open through the connection (their files are written).
    void close();
    bool connected() const { return m_connected; }
    // The table folder as found on disk by the open ("DB" answers for "db").
    const std::string& folder() const { return m_diskFolder; }

    // True when `folder` is the connection's folder (the same text or the same folder on disk).
    bool serves(const std::string& folder) const;

    // For the table handles: checked at their open, told at their close.
    void attach(Table* table);
    void detach(Table* table);

  private:
    std::shared_ptr<Session> m_session;
    TransIsolation m_isolation = TransIsolation::ReadCommitted;
    std::string m_databaseName;
    std::string m_diskFolder;  // the folder as found on disk at the open
    bool m_connected = false;
    std::vector<Table*> m_tables;
};

// The set-up of a data folder: the session "Default" with {data folder}/net (created when
// missing), the connection TDataBaseNew on {data folder}/db (a missing folder is an error
// naming it) opened with dirty reads, and the Paradox engine's store over it.
std::unique_ptr<TableStore> openConnection(const std::string& dataFolder);

}  // namespace sivaro
