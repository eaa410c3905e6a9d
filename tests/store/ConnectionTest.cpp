// The connection to a data folder: the set-up and its errors, tables and queries of {data
// folder}/db going through it while branch folders open by folder, two programs on one folder,
// and the table interface, item by item, on temporary copies of real tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "StoreTestUtil.h"
#include "store/Connection.h"
#include "store/FamilyCheck.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;
using testing::openTable;
using Strings = std::vector<std::string>;

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EDatabaseError& e) {
        return e.what();
    }
    return "(no error)";
}

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::pinSettings('.'); }
    // A data folder: db/Marca.db with two brands, db2/Marca.db empty.
    std::string dataFolder(const std::string& dbName = "db") {
        for (const std::string& sub : {dbName, std::string("db2")}) {
            fs::create_directories(m_dir.path() / sub);
            testing::createFromSchema(m_dir.file(sub + "/Marca.db"), "cod\t+\t0\t*\nmar\tA\t30\n");
        }
        auto store = createParadoxStore();
        auto t = openTable(*store, m_dir.file(dbName), "Marca.db");
        for (const char* name : {"ACME", "BETA"}) {
            t->insert();
            t->fieldByName("mar").setAsString(name);
            t->post();
        }
        return m_dir.str();
    }
    testing::TempDir m_dir;
};

TEST_F(ConnectionTest, SetUpMakesTheNetFolderAndOpensTheTablesOfDb) {
    const std::string folder = dataFolder();
    ASSERT_FALSE(fs::exists(m_dir.path() / "net"));
    auto store = openConnection(folder);
    EXPECT_TRUE(fs::is_directory(m_dir.path() / "net"));
    // Nothing is kept there that another program could trip over.
    EXPECT_TRUE(fs::is_empty(m_dir.path() / "net"));

    auto db = openTable(*store, joinPath(folder, "db"), "Marca.db");
    EXPECT_EQ(2, db->recordCount());
    auto branch = openTable(*store, joinPath(folder, "db2"), "Marca.db");
    EXPECT_EQ(0, branch->recordCount());

    // A second set-up on the same folder (another engine, or the net folder already there).
    auto again = openConnection(folder);
    auto shared = openTable(*again, joinPath(folder, "db"), "marca");
    EXPECT_EQ(2, shared->recordCount());
}

TEST_F(ConnectionTest, SetUpFailuresNameTheFolder) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        const char* message;
    };
    for (const Case& c : {
             Case{"no db folder", [](const fs::path&) {}, "/db does not exist"},
             Case{"db is a file", [](const fs::path& p) { std::ofstream(p / "db") << "x"; },
                  "/db does not exist"},
             Case{"net is a file",
                  [](const fs::path& p) {
                      fs::create_directories(p / "db");
                      std::ofstream(p / "net") << "x";
                  },
                  "/net is a file, not a folder"},
         }) {
        SCOPED_TRACE(c.name);
        const fs::path root = m_dir.path() / "case";
        fs::remove_all(root);
        fs::create_directories(root);
        c.prepare(root);
        const std::string message = errorOf([&] { openConnection(root.string()); });
        EXPECT_NE(std::string::npos, message.find(c.message)) << message;
    }
    EXPECT_NE(std::string::npos,
              errorOf([&] { openConnection(m_dir.file("nada")); }).find("does not exist"));
}

TEST_F(ConnectionTest, FolderNamesMatchWithoutRegardToCase) {
    const std::string folder = dataFolder("DB");
    auto store = openConnection(folder);
    auto t = openTable(*store, joinPath(folder, "db"), "MARCA");
    EXPECT_EQ(2, t->recordCount());
    t->close();
    auto q = store->createQuery();
    q->setDatabaseName(joinPath(folder, "db"));
    q->sql().push_back("update marca set mar = lower(mar)");
    q->execSQL();
    t->open();
    EXPECT_EQ("acme", t->fieldByName("mar").asString());
}

TEST_F(ConnectionTest, ClosingTheConnectionClosesItsTablesAndRefusesNewOnes) {
    const std::string folder = dataFolder();
    auto session = std::make_shared<Session>();
    session->setSessionName("Default");
    session->setNetFileDir(joinPath(folder, "net"));
    auto db = std::make_shared<TDataBaseNew>();
    db->setSession(session);
    db->setTransIsolation(TransIsolation::DirtyRead);
    db->setDatabaseName(joinPath(folder, "db"));
    EXPECT_NE(std::string::npos, errorOf([&] {
                                     openTable(*createParadoxStore(db), joinPath(folder, "db"),
                                               "Marca");
                                 }).find("is not open"));
    db->open();
    auto store = createParadoxStore(db);

    auto t = openTable(*store, joinPath(folder, "db"), "Marca");
    auto branch = openTable(*store, joinPath(folder, "db2"), "Marca");
    t->insert();
    t->fieldByName("mar").setAsString("GAMA");
    t->post();
    EXPECT_NE(std::string::npos, errorOf([&] { db->setDatabaseName("outra"); }).find("open"));

    session->close();  // closes its connection, and so the table of db
    EXPECT_FALSE(db->connected());
    EXPECT_FALSE(t->active());
    EXPECT_TRUE(branch->active());  // a branch folder is not the connection's
    EXPECT_EQ("cod\tmar\n1\tACME\n2\tBETA\n3\tGAMA\n",
              testing::runPxtool("dump " + m_dir.file("db/Marca.db")));

    EXPECT_NE(std::string::npos, errorOf([&] {
                                     t->open();
                                 }).find("Database " + joinPath(folder, "db") + " is not open"));
    EXPECT_NE(std::string::npos, errorOf([&] { t->emptyTable(); }).find("is not open"));
    auto q = store->createQuery();
    q->setDatabaseName(joinPath(folder, "db"));
    q->sql().push_back("delete from marca");
    EXPECT_NE(std::string::npos, errorOf([&] { q->execSQL(); }).find("is not open"));
    q->setDatabaseName(joinPath(folder, "db2"));
    q->execSQL();  // by folder

    db->open();
    t->open();
    EXPECT_EQ(3, t->recordCount());
}

TEST_F(ConnectionTest, AnotherProgramWorksOnTheSameFolder) {
    const std::string folder = dataFolder();
    auto store = openConnection(folder);
    auto t = openTable(*store, joinPath(folder, "db"), "Marca");
    // Another process reads a table this one reads, and changes one this one does not hold.
    int code = -1;
    EXPECT_EQ("cod\tmar\n1\tACME\n2\tBETA\n",
              testing::runPxtool("dump " + m_dir.file("db/Marca.db"), &code));
    EXPECT_EQ(0, code);
    std::ofstream(m_dir.file("nova.schema")) << "cod\tI\t0\t*\n";
    const std::string cmd = std::string(SIVARO_BINARY_DIR) + "/bin/pxtool create " +
                            m_dir.file("db/Nova.db") + " " + m_dir.file("nova.schema");
    EXPECT_EQ(0, std::system(cmd.c_str()));
    EXPECT_EQ(0, openTable(*store, joinPath(folder, "db"), "Nova")->recordCount());
}

// ---- the interface over real tables, through the connection ------------------------------------

class RealTables : public ConnectionTest {
  protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        fs::create_directories(m_dir.path() / "db");
        for (const char* stem : {"CUSTOMER", "ORDERS", "long", "TypSammlung"})
            testing::copyFamily(stem, m_dir.file("db"));
        m_store = openConnection(m_dir.str());
        m_db = joinPath(m_dir.str(), "db");
        m_problemsBefore = problems();
    }
    // Whatever a test did, no table has a problem it did not have before.
    void TearDown() override {
        m_store.reset();
        for (const auto& [table, found] : problems()) {
            for (const std::string& p : found) {
                const Strings& before = m_problemsBefore[table];
                EXPECT_NE(before.end(), std::find(before.begin(), before.end(), p)) << p;
            }
        }
    }
    std::map<std::string, Strings> problems() const {
        std::map<std::string, Strings> out;
        for (const auto& e : fs::directory_iterator(m_dir.path() / "db"))
            if (upperAscii(e.path().extension().string()) == ".DB")
                out[e.path().string()] = px::inspectFamily(e.path().string()).problems;
        return out;
    }
    std::unique_ptr<TableStore> m_store;
    std::string m_db;
    std::map<std::string, Strings> m_problemsBefore;
};

TEST_F(RealTables, HandlesOpenCloseAndRefuseMissingOrLockedTables) {
    auto t = m_store->createTable();
    t->setDatabaseName(m_db);
    t->setTableName("customer.db");
    t->close();
    t->open();
    EXPECT_TRUE(t->active());
    EXPECT_EQ("PARADOX", t->tableType());
    EXPECT_NE(std::string::npos, errorOf([&] { t->setTableName("ORDERS"); }).find("open table"));
    t->close();
    t->open();
    t->close();

    EXPECT_NE(std::string::npos,
              errorOf([&] { openTable(*m_store, m_db, "Nada"); }).find("does not exist"));
    auto exclusive = openTable(*m_store, m_db, "ORDERS", true);
    EXPECT_TRUE(exclusive->exclusive());
    EXPECT_NE(std::string::npos,
              errorOf([&] { openTable(*m_store, m_db, "orders"); }).find("exclusive"));
}

TEST_F(RealTables, EmptyTableKeepsTheFiles) {
    auto t = m_store->createTable();
    t->setDatabaseName(m_db);
    t->setTableName("ORDERS");
    t->emptyTable();  // closed: the table is opened for it
    EXPECT_TRUE(fs::exists(m_dir.path() / "db" / "ORDERS.PX"));
    t->open();
    EXPECT_EQ(0, t->recordCount());
    EXPECT_TRUE(t->eof());
}

TEST_F(RealTables, FieldsByNameTypeAndValue) {
    auto t = openTable(*m_store, m_db, "ORDERS");
    struct Case {
        const char* field;
        FieldType type;
        const char* text;
    };
    for (const Case& c : {Case{"order no", FieldType::Float, "1001"},
                          Case{"Sale Date", FieldType::Date, "03/04/1988"},
                          Case{"Total Invoice", FieldType::Currency, "7320"},
                          Case{"Ship VIA", FieldType::String, "UPS"}}) {
        Field& f = t->fieldByName(c.field);
        EXPECT_EQ(c.type, f.dataType()) << c.field;
        EXPECT_EQ(c.text, f.asString()) << c.field;
    }
    EXPECT_EQ(nullptr, t->findField("nada"));
    EXPECT_NE(std::string::npos,
              errorOf([&] { t->fieldByName("nada"); }).find("Field 'nada' not found"));
    EXPECT_EQ("Customer No", t->field(1).fieldName());
    EXPECT_EQ(1221, t->field(1).asInteger());
    EXPECT_EQ(7320.0, t->fieldByName("Total Invoice").asCurrency());

    auto c = openTable(*m_store, m_db, "CUSTOMER");
    EXPECT_EQ(FieldType::AutoInc, c->fieldByName("CustNo").dataType());
    EXPECT_EQ(FieldType::Memo, c->fieldByName("Comments").dataType());
}

TEST_F(RealTables, LocateAndCursor) {
    auto t = openTable(*m_store, m_db, "CUSTOMER");
    EXPECT_TRUE(t->locate("LastName", {"Petzold"}, false));
    EXPECT_EQ("3", t->fieldByName("CustNo").asString());
    EXPECT_FALSE(t->locate("LastName", {"petzold"}, false));
    EXPECT_TRUE(t->locate("LastName", {"petzold"}, true));
    EXPECT_TRUE(t->locate("City;State/Prov", {"Los Gatos", "CA"}, false));
    EXPECT_EQ("2", t->fieldByName("CustNo").asString());
    EXPECT_NE(std::string::npos, errorOf([&] { t->locate("nada", {"x"}, false); }).find("nada"));
    int rows = 0;
    for (t->first(); !t->eof(); t->next()) ++rows;
    EXPECT_EQ(t->recordCount(), rows);
}

TEST_F(RealTables, RowChangesAndTheirErrors) {
    auto t = openTable(*m_store, m_db, "long");
    t->insert();
    EXPECT_TRUE(t->isInserting());
    t->fieldByName("LONG").setAsString("77");
    t->post();
    EXPECT_FALSE(t->isInserting());
    EXPECT_EQ("4", t->fieldByName("Id").asString());  // the counter held 3

    ASSERT_TRUE(t->locate("Id", {"1"}, false));
    t->edit();
    t->fieldByName("LONG").setAsInteger(-5);
    t->cancel();
    EXPECT_NE("-5", t->fieldByName("LONG").asString());

    t->insert();
    t->fieldByName("Id").setAsInteger(2);
    EXPECT_EQ("Key violation", errorOf([&] { t->post(); }));
    t->cancel();
    t->insert();
    EXPECT_THROW(t->fieldByName("LONG").setAsString("doze"), EConvertError);
    t->cancel();
    EXPECT_EQ(4, t->recordCount());
}

TEST_F(RealTables, QueryRestructureAndDescriptors) {
    auto q = m_store->createQuery();
    q->setDatabaseName(m_db);
    q->sql().push_back(
        "update orders set \"Ship VIA\" = 'FedEx' where \"Order No\" in "
        "(select max(\"Order No\") from orders group by \"Customer No\")");
    q->execSQL();

    const std::vector<FieldDescriptor> d =
        openTable(*m_store, m_db, "TypSammlung")->fieldDescriptors();
    ASSERT_EQ(14u, d.size());
    EXPECT_EQ("Alpha", d[0].name);
    EXPECT_TRUE(d[0].key);
    EXPECT_EQ(FieldType::String, d[0].type);
    EXPECT_EQ(30, d[0].size);
    EXPECT_EQ("Z\xe4hler", d[11].name);
    EXPECT_EQ(FieldType::AutoInc, d[11].type);

    EXPECT_NE(
        std::string::npos,
        errorOf([&] {
            openTable(*m_store, m_db, "long")->restructure(1, {"LONG", FieldType::Float, 0, false});
        }).find("exclusively"));
    auto t = openTable(*m_store, m_db, "long", true);
    t->restructure(1, {"LONG", FieldType::Float, 0, false});
    EXPECT_EQ(FieldType::Float, t->field(1).dataType());
    EXPECT_EQ(3, t->recordCount());
}

}  // namespace
}  // namespace sivaro
