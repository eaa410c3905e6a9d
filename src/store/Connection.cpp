#include "store/Connection.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "store/ParadoxStore.h"
#include "store/Rehearsal.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

void Session::close() {
    const std::vector<TDataBaseNew*> connections = m_connections;
    std::exception_ptr first;
    for (TDataBaseNew* db : connections) {
        try {
            db->close();
        } catch (...) {
            if (!first) first = std::current_exception();
        }
    }
    if (first) std::rethrow_exception(first);
}

TDataBaseNew::~TDataBaseNew() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; close() explicitly to see a failed write.
    }
    setSession(nullptr);
}

void TDataBaseNew::setSession(std::shared_ptr<Session> session) {
    if (m_connected && session != m_session)
        throw EDatabaseError("Cannot change the session of the open database " + m_databaseName);
    if (m_session) {
        auto& list = m_session->m_connections;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    m_session = std::move(session);
    if (m_session) m_session->m_connections.push_back(this);
}

void TDataBaseNew::setDatabaseName(const std::string& folder) {
    if (m_connected)
        throw EDatabaseError("Cannot change the folder of the open database " + m_databaseName);
    m_databaseName = folder;
}

void TDataBaseNew::open() {
    if (m_connected) return;
    if (!m_session) throw EDatabaseError("Database " + m_databaseName + " has no session");
    if (m_databaseName.empty()) throw EDatabaseError("No database folder given");
    std::error_code ec;
    // Folder names inside the data folder match without regard to case, as table names do.
    const std::string parent = m_databaseName.find_last_of('/') == std::string::npos
                                   ? std::string()
                                   : m_databaseName.substr(0, m_databaseName.find_last_of('/'));
    const std::string folder = parent.empty()
                                   ? resolvePath("", m_databaseName)
                                   : resolvePath(parent, m_databaseName.substr(parent.size() + 1));
    if (!fs::is_directory(osPath(folder), ec))
        throw EDatabaseError("Database folder " + m_databaseName + " does not exist");

    const std::string& net = m_session->netFileDir();
    if (net.empty())
        throw EDatabaseError("Session " + m_session->sessionName() + " has no network folder");
    if (!fs::is_directory(osPath(net), ec)) {
        if (fs::exists(osPath(net), ec))
            throw EDatabaseError("Network folder " + net + " is a file, not a folder");
        // A rehearsal leaves the data folder as it found it; the real run makes the folder.
        if (!rehearsing()) fs::create_directory(osPath(net), ec);
        if (ec)
            throw EDatabaseError("Network folder " + net + " cannot be created: " + ec.message());
    }
    m_diskFolder = folder;
    m_connected = true;
}

void TDataBaseNew::close() {
    if (!m_connected) return;
    const std::vector<Table*> open = m_tables;
    m_connected = false;
    std::exception_ptr first;
    for (Table* t : open) {
        try {
            t->close();
        } catch (...) {
            if (!first) first = std::current_exception();
        }
    }
    m_tables.clear();
    if (first) std::rethrow_exception(first);
}

bool TDataBaseNew::serves(const std::string& folder) const {
    if (folder.empty() || m_databaseName.empty()) return false;
    if (folder == m_databaseName || (!m_diskFolder.empty() && folder == m_diskFolder)) return true;
    if (m_diskFolder.empty()) return false;
    std::error_code ec;
    return fs::equivalent(osPath(folder), osPath(m_diskFolder), ec) && !ec;
}

void TDataBaseNew::attach(Table* table) {
    if (!m_connected) throw EDatabaseError("Database " + m_databaseName + " is not open");
    if (std::find(m_tables.begin(), m_tables.end(), table) == m_tables.end())
        m_tables.push_back(table);
}

void TDataBaseNew::detach(Table* table) {
    m_tables.erase(std::remove(m_tables.begin(), m_tables.end(), table), m_tables.end());
}

std::unique_ptr<TableStore> openConnection(const std::string& dataFolder) {
    auto session = std::make_shared<Session>();
    session->close();
    session->setSessionName("Default");
    session->setNetFileDir(resolvePath(dataFolder, "net"));
    auto db = std::make_shared<TDataBaseNew>();
    db->setSession(session);
    db->setTransIsolation(TransIsolation::DirtyRead);
    // Named as typed: the open finds the folder on disk ("DB" for "db"), and the connection then
    // serves handles given either spelling.
    db->setDatabaseName(joinPath(dataFolder, "db"));
    db->open();
    return createParadoxStore(std::move(db));
}

}  // namespace sivaro
