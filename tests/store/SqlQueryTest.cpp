// SQL statements over Paradox tables: the two merchandise statements, names without regard to
// case, values by field type, errors carrying SQLite's message, failed statements taken back,
// and the files left sound (family check, independent reader).

#include <gtest/gtest.h>

#include <cstdlib>

#include "PxlibReader.h"
#include "StoreTestUtil.h"
#include "store/FamilyCheck.h"
#include "store/SqlQuery.h"
#include "util/Errors.h"

namespace sivaro {
namespace {

using testing::openTable;
using Strings = std::vector<std::string>;

const char* kMarkNewest =
    "update mercador set filtro = 0 where cod in (select max(cod) from mercador group by codbar)";
const char* kMarkRest = "update mercador set filtro = 1 where filtro is null";

const char* kMercadorSchema =
    "cod\t+\t0\t*\n"
    "CodBar\tA\t20\n"
    "descricao\tA\t40\n"
    "preco\t$\t0\n"
    "filtro\tS\t0\n";

void expectSound(const std::string& dbPath) {
    EXPECT_EQ(Strings{}, px::inspectFamily(dbPath).problems) << dbPath;
    int code = -1;
    const std::string out = testing::runPxtool("info '" + dbPath + "'", &code);
    EXPECT_EQ(0, code) << out;
    EXPECT_NE(std::string::npos, out.find("check: ok")) << out;
}

class SqlStatements : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::pinSettings('.');
        m_store = createParadoxStore();
    }
    void TearDown() override { testing::pinSettings('.'); }

    void exec(const std::string& text) {
        auto q = m_store->createQuery();
        q->setDatabaseName(m_dir.str());
        q->sql().push_back(text);
        q->execSQL();
    }
    // The error message of a statement that must fail.
    std::string failure(const std::string& text) {
        try {
            exec(text);
        } catch (const EDatabaseError& e) {
            return e.what();
        }
        ADD_FAILURE() << "no error for: " << text;
        return {};
    }
    // One field of every row, in the table's order, as its text.
    Strings column(const std::string& table, const std::string& field) {
        auto t = openTable(*m_store, m_dir.str(), table);
        Strings out;
        for (t->first(); !t->eof(); t->next()) out.push_back(t->fieldByName(field).asString());
        return out;
    }
    std::string dump(const std::string& table) {
        return testing::runPxtool("dump '" + m_dir.file(table) + "'");
    }
    // Rows of "CodBar,filtro" (empty for NULL), numbered by the table from 1.
    void makeMercador(const Strings& rows, const std::string& file = "mercador.db") {
        testing::createFromSchema(m_dir.file(file), kMercadorSchema);
        auto t = openTable(*m_store, m_dir.str(), file);
        for (const std::string& row : rows) {
            const std::size_t comma = row.find(',');
            t->insert();
            t->fieldByName("CodBar").setAsString(row.substr(0, comma));
            t->fieldByName("descricao").setAsString("item " + row);
            t->fieldByName("preco").setAsString("1.5");
            t->fieldByName("filtro").setAsString(row.substr(comma + 1));
            t->post();
        }
    }

    testing::TempDir m_dir;
    std::unique_ptr<TableStore> m_store;
};

// ---- the merchandise statements ---------------------------------------------------------------

struct MarkCase {
    const char* name;
    Strings rows;      // "CodBar,filtro before"
    Strings expected;  // filtro after, by cod
};

class MarkStatements : public SqlStatements, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(MarkStatements, NewestRowOfEachCodbarGetsZeroAndUnmarkedOnesOne) {
    makeMercador(GetParam().rows);
    exec(kMarkNewest);
    exec(kMarkRest);
    EXPECT_EQ(GetParam().expected, column("mercador", "filtro"));
    expectSound(m_dir.file("mercador.db"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MarkStatements,
    ::testing::Values(
        MarkCase{"NoEarlierMarks", {"A,", "A,", "B,", "A,", "C,"}, {"1", "1", "0", "0", "0"}},
        MarkCase{"EarlierMarksKeptExceptOnNewest",
                 {"A,", "A,1", "A,", "B,0", "C,0", "C,", "C,1"},
                 {"1", "1", "0", "0", "0", "1", "0"}},
        MarkCase{"EveryRowMarkedBefore", {"A,1", "A,0", "B,1"}, {"1", "0", "0"}},
        MarkCase{"EmptyCodbarsAreOneGroup", {",", "A,", ",", ",5"}, {"1", "0", "1", "0"}},
        MarkCase{"EmptyTable", {}, {}}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return std::string(info.param.name); });

TEST_F(SqlStatements, StatementLinesAreJoinedAndClearedBetweenRuns) {
    makeMercador({"A,", "A,"});
    auto q = m_store->createQuery();
    q->setDatabaseName(m_dir.str());
    q->sql() = {"update mercador", "set filtro = 7", "where cod = 2"};
    q->execSQL();
    q->sql().clear();
    q->sql().push_back(kMarkRest);
    q->execSQL();
    EXPECT_EQ((Strings{"1", "7"}), column("mercador", "filtro"));
}

TEST_F(SqlStatements, OpenHandleSeesTheChangesAndTheFilesGetThemAtItsClose) {
    makeMercador({"A,", "A,", "B,"});
    const std::string before = testing::readFileText(m_dir.file("mercador.db"));
    auto held = openTable(*m_store, m_dir.str(), "mercador");
    exec(kMarkNewest);
    held->first();
    EXPECT_EQ("", held->fieldByName("filtro").asString());
    held->next();
    EXPECT_EQ("0", held->fieldByName("filtro").asString());
    // Held open here, the table is written when its last handle closes.
    EXPECT_EQ(before, testing::readFileText(m_dir.file("mercador.db")));
    held->close();
    EXPECT_NE(before, testing::readFileText(m_dir.file("mercador.db")));
    EXPECT_EQ(
        "cod\tCodBar\tdescricao\tpreco\tfiltro\n"
        "1\tA\titem A,\t1.5\t\n"
        "2\tA\titem A,\t1.5\t0\n"
        "3\tB\titem B,\t1.5\t0\n",
        dump("mercador.db"));
    expectSound(m_dir.file("mercador.db"));
}

#ifdef SIVARO_HAVE_PXLIB
TEST_F(SqlStatements, IndependentReaderReadsTheMarks) {
    // pxlib misreads NULLs, so every field is filled once the statements have run.
    Strings rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back("B" + std::to_string(i % 700) + "," + (i % 3 ? "" : "1"));
    makeMercador(rows);
    exec(kMarkNewest);
    exec(kMarkRest);
    const Strings filtro = column("mercador", "filtro");
    const std::vector<int> records = {0, 1, 2, 2299, 2300, 2999};
    const testing::PxlibRead read = testing::readWithPxlib(m_dir.file("mercador.db"), records);
    ASSERT_EQ(3000, read.records);
    for (int r : records) {
        SCOPED_TRACE(r);
        ASSERT_EQ(1u, read.rows.count(r));
        const Strings& v = read.rows.at(r);
        EXPECT_EQ(std::to_string(r + 1), v[0]);
        EXPECT_EQ("B" + std::to_string(r % 700), v[1]);
        EXPECT_EQ(std::to_string(std::atol(filtro[r].c_str())), v[4]);
        // The newest 700 rows, one per bar code, are the marked ones.
        EXPECT_EQ(r >= 2300 ? "0" : "1", v[4]);
    }
}
#endif

// ---- names ------------------------------------------------------------------------------------

TEST_F(SqlStatements, TableAndFieldNamesMatchWithoutRegardToCase) {
    makeMercador({"A,", "B,"}, "MERCADOR.DB");
    exec("UPDATE Mercador SET FILTRO = 3 WHERE codbar = 'B'");
    exec("update MERCADOR set Filtro = 4 where COD in (select MIN(Cod) from mercador)");
    EXPECT_EQ((Strings{"4", "3"}), column("MERCADOR.DB", "filtro"));
}

TEST_F(SqlStatements, QuotedNamesWithBlanksAndAccentsInAnyCase) {
    // Engine text is Windows-1252: "Preço Médio", "Preço Unitário", "Descrição", "Café".
    const std::string table =
        "Pre\xe7o M\xe9"
        "dio";
    testing::createFromSchema(m_dir.file(table + ".db"),
                              "cod\tI\t0\t*\n"
                              "Descri\xe7\xe3o\tA\t20\n"
                              "Pre\xe7o Unit\xe1rio\tN\t0\n");
    {
        auto t = openTable(*m_store, m_dir.str(), table + ".db");
        for (const char* name : {"Caf\xe9", "Ch\xe1"}) {
            t->insert();
            t->fieldByName("cod").setAsInteger(t->recordCount() + 1);
            t->fieldByName("Descri\xe7\xe3o").setAsString(name);
            t->post();
        }
    }
    exec(
        "update \"PRE\xc7O M\xc9"
        "DIO\" set [pre\xe7o unit\xe1rio] = 2.5 where DESCRI\xc7\xc3O = 'Caf\xe9'");
    exec(
        "update `pre\xe7o m\xe9"
        "dio` set \"Pre\xe7o Unit\xe1rio\" = 1 where \"descri\xe7\xe3o\" <> 'Caf\xe9'");
    EXPECT_EQ((Strings{"2.5", "1"}), column(table + ".db", "Pre\xe7o Unit\xe1rio"));
    expectSound(m_dir.file(table + ".db"));
}

TEST_F(SqlStatements, ErrorsCarrySqliteMessage) {
    makeMercador({"A,"});
    struct Case {
        const char* sql;
        const char* message;
    };
    for (const Case& c : {
             Case{"update nada set filtro = 1", "no such table: nada"},
             Case{"update mercador set nada = 1", "no such column: nada"},
             Case{"updat mercador set filtro = 1", "syntax error"},
             Case{"update mercador set filtro = 1 where cod in (select x from mercador)",
                  "no such column: x"},
             Case{"attach 'outro.db' as outro", "not authorized"},
             Case{"pragma writable_schema = 1", "not authorized"},
             Case{"create table t(a)", "not authorized"},
             Case{"drop table mercador", "not authorized"},
             Case{"   \n ", "No SQL statement"},
         }) {
        const std::string message = failure(c.sql);
        EXPECT_NE(std::string::npos, message.find(c.message)) << c.sql << " -> " << message;
    }
    EXPECT_EQ((Strings{""}), column("mercador", "filtro"));
    EXPECT_FALSE(std::filesystem::exists(m_dir.file("outro.db")));
}

// ---- values -----------------------------------------------------------------------------------

struct ValueCase {
    const char* name;
    const char* field;
    const char* sql;       // the value as SQL writes it
    const char* expected;  // the field's text afterwards
};

class SqlValues : public SqlStatements, public ::testing::WithParamInterface<ValueCase> {
  protected:
    void makeKinds() {
        testing::createFromSchema(m_dir.file("tipos.db"),
                                  "cod\t+\t0\t*\n"
                                  "texto\tA\t12\n"
                                  "data\tD\t0\n"
                                  "hora\tT\t0\n"
                                  "quando\t@\t0\n"
                                  "numero\tN\t0\n"
                                  "valor\t$\t0\n"
                                  "curto\tS\t0\n"
                                  "longo\tI\t0\n"
                                  "sim\tL\t0\n"
                                  "obs\tM\t10\n"
                                  "bcd\t#\t2\n");
        auto t = openTable(*m_store, m_dir.str(), "tipos");
        t->insert();
        t->post();
    }
};

TEST_P(SqlValues, WrittenByTheFieldsType) {
    makeKinds();
    exec(std::string("update tipos set ") + GetParam().field + " = " + GetParam().sql);
    EXPECT_EQ(Strings{GetParam().expected}, column("tipos", GetParam().field));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqlValues,
    ::testing::Values(
        ValueCase{"TextAccents", "texto", "'S\xe3o Paulo'", "S\xe3o Paulo"},
        ValueCase{"TextCutToSize", "texto", "'abcdefghijklmnop'", "abcdefghijkl"},
        ValueCase{"TextFromNumber", "texto", "12.5", "12.5"},
        ValueCase{"EmptyTextIsNull", "texto", "''", ""},
        ValueCase{"DateIso", "data", "'2010-12-31'", "31/12/2010"},
        ValueCase{"DateLocale", "data", "'31/12/2010'", "31/12/2010"},
        ValueCase{"DateFunction", "data", "date('2010-12-31', '+1 day')", "01/01/2011"},
        ValueCase{"TimeIso", "hora", "'10:30'", "10:30:00"},
        ValueCase{"TimestampIso", "quando", "'2010-12-31 10:30:15'", "31/12/2010 10:30:15"},
        ValueCase{"TimestampDateOnly", "quando", "'2010-12-31'", "31/12/2010"},
        ValueCase{"FloatLiteral", "numero", "1.25", "1.25"},
        ValueCase{"FloatFromText", "numero", "'2.5'", "2.5"},
        ValueCase{"CurrencyArithmetic", "valor", "10 * 3 / 4.0", "7.5"},
        ValueCase{"ShortFromText", "curto", "'42'", "42"},
        ValueCase{"LongNegative", "longo", "-7", "-7"},
        ValueCase{"LogicalFromNumber", "sim", "1", "True"},
        ValueCase{"LogicalFromText", "sim", "'F'", "False"},
        ValueCase{"MemoWithLineBreak", "obs", "'linha um' || char(10) || 'linha dois, longa'",
                  "linha um\nlinha dois, longa"},
        ValueCase{"Bcd", "bcd", "3.14", "3.14"}, ValueCase{"NullClears", "valor", "null", ""}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST_F(SqlValues, ColumnsReadAsSqlValues) {
    makeKinds();
    exec(
        "update tipos set data = '2010-12-31', hora = '08:05:09', quando = '2011-01-02 03:04:05',"
        " sim = 1, numero = 2.5, obs = 'Cora\xe7\xe3o'");
    exec("update tipos set texto = data || '|' || hora");
    EXPECT_EQ((Strings{"2010-12-31|0"}), column("tipos", "texto"));  // cut to 12 characters
    exec("update tipos set texto = substr(quando, 1, 12), longo = sim + numero * 2");
    EXPECT_EQ((Strings{"2011-01-02 0"}), column("tipos", "texto"));
    EXPECT_EQ((Strings{"6"}), column("tipos", "longo"));
    exec("update tipos set texto = upper(substr(obs, 1, 4)) || length(obs)");
    EXPECT_EQ((Strings{"CORA7"}), column("tipos", "texto"));  // "ç" counts as one character
}

TEST_F(SqlValues, RefusedValuesNameTheFieldAndChangeNothing) {
    makeKinds();
    struct Case {
        const char* sql;
        const char* message;
    };
    for (const Case& c : {
             Case{"update tipos set data = 5", "'5' is not a valid date value for field 'data'"},
             Case{"update tipos set data = '2010-02-30'", "not a valid date value"},
             Case{"update tipos set curto = 'abc'", "'abc' is not a valid integer value"},
             Case{"update tipos set curto = 70000", "not a valid integer value"},
             Case{"update tipos set longo = 1.5", "not a valid integer value"},
             Case{"update tipos set sim = 'talvez'", "not a valid boolean value"},
         }) {
        const std::string message = failure(c.sql);
        EXPECT_NE(std::string::npos, message.find(c.message)) << c.sql << " -> " << message;
    }
    EXPECT_EQ((Strings{""}), column("tipos", "data"));
    EXPECT_EQ((Strings{""}), column("tipos", "curto"));
}

// ---- rows in and out, and failures taken back ---------------------------------------------------

TEST_F(SqlStatements, InsertAndDeleteWithSubqueries) {
    makeMercador({"A,", "A,", "B,", "C,"});
    exec(
        "insert into mercador (CodBar, descricao, preco) "
        "select CodBar || '-novo', 'copia', preco * 2 from mercador where cod in "
        "(select max(cod) from mercador group by CodBar)");
    EXPECT_EQ((Strings{"A", "A", "B", "C", "A-novo", "B-novo", "C-novo"}),
              column("mercador", "CodBar"));
    EXPECT_EQ((Strings{"1", "2", "3", "4", "5", "6", "7"}), column("mercador", "cod"));
    exec(
        "delete from mercador where CodBar in (select CodBar from mercador where preco > 2)"
        " or cod = (select min(cod) from mercador)");
    EXPECT_EQ((Strings{"2", "3", "4"}), column("mercador", "cod"));
    exec("insert into mercador (descricao) values ('sem codigo')");
    EXPECT_EQ((Strings{"2", "3", "4", "8"}), column("mercador", "cod"));  // the counter goes on
    expectSound(m_dir.file("mercador.db"));
}

TEST_F(SqlStatements, FailedStatementLeavesTheRowsAsTheyWere) {
    makeMercador({"A,", "A,1", "B,", "C,0", "C,"});
    const std::string before = dump("mercador.db");
    struct Case {
        const char* sql;
        const char* message;
    };
    for (const Case& c : {
             // Rows 1 to 3 change before row 4 refuses its value.
             Case{"update mercador set filtro = case when cod = 4 then 'x' else 9 end, "
                  "descricao = 'mudou'",
                  "'x' is not a valid integer value"},
             // Keys move: 1 to 101 and 2 to 102, then 3 collides with 102.
             Case{"update mercador set cod = case when cod = 3 then 102 else cod + 100 end",
                  "Key violation"},
             // Rows 11 to 15 go in before 3 collides.
             Case{"insert into mercador (cod, descricao) select cod + 10, 'dup' from mercador "
                  "union all select 3, 'dup'",
                  "Key violation"},
             Case{"begin; delete from mercador where cod < 3; "
                  "insert into mercador (cod) values (5); commit",
                  "Key violation"},
         }) {
        const std::string message = failure(c.sql);
        EXPECT_NE(std::string::npos, message.find(c.message)) << c.sql << " -> " << message;
        EXPECT_EQ(before, dump("mercador.db")) << c.sql;
    }
    expectSound(m_dir.file("mercador.db"));
}

TEST_F(SqlStatements, OnlyTheFailedStatementOfATextIsTakenBack) {
    makeMercador({"A,", "B,"});
    EXPECT_NE(std::string::npos,
              failure("update mercador set filtro = 5; update mercador set filtro = 'x'")
                  .find("not a valid integer"));
    EXPECT_EQ((Strings{"5", "5"}), column("mercador", "filtro"));
}

// ---- real tables ------------------------------------------------------------------------------

TEST_F(SqlStatements, RealTableWithMemosAndSecondaryIndexStaysExact) {
    testing::copyFamily("CUSTOMER", m_dir.str());
    const std::string db = m_dir.file("CUSTOMER.DB");
    const std::string original = dump("CUSTOMER.DB");

    // A deletion of rows with memos of every size, then a failure: everything comes back.
    EXPECT_NE(std::string::npos, failure("begin; delete from customer where custno < 6; "
                                         "insert into customer (custno) values (10); commit")
                                     .find("Key violation"));
    EXPECT_EQ(original, dump("CUSTOMER.DB"));

    // The indexed City changes, and so does a name with a blank and a slash.
    exec(
        "update Customer set City = 'Recife', \"zip/postal code\" = '50000' where CustNo in "
        "(select max(CustNo) from customer group by City)");
    exec("delete from customer where comments is null and custno > 15");
    auto t = openTable(*m_store, m_dir.str(), "CUSTOMER.DB");
    int recife = 0;
    for (t->first(); !t->eof(); t->next())
        recife += t->fieldByName("City").asString() == "Recife" ? 1 : 0;
    EXPECT_LT(0, recife);
    t->close();
    expectSound(db);
}

TEST_F(SqlStatements, TableHeldByAnotherProgramFailsTheStatement) {
    makeMercador({"A,"});
    // A child process holds the table open while it changes it (pxtool cannot): take the lock
    // with flock(1) on the .db, as the engine's holder does.
    const std::string cmd = "flock -x '" + m_dir.file("mercador.db") + "' sleep 2 & sleep 0.5";
    ASSERT_EQ(0, std::system(cmd.c_str()));
    const std::string message = failure(kMarkRest);
    EXPECT_NE(std::string::npos, message.find("in use by another program")) << message;
}

}  // namespace
}  // namespace sivaro
