#include "util/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "util/Errors.h"
#include "util/Paths.h"
#include "util/SafeWrite.h"

namespace sivaro {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A parameterised test's name holds a "/", which would leave the folder above it behind.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_root = fs::temp_directory_path() /
                 ("sivaro-profile-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string path(const std::string& name = "Definicao.ini") const {
        return fromOsPath(m_root / name);
    }
    void put(const std::string& text, const std::string& name = "Definicao.ini") const {
        std::ofstream out(m_root / name, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string get(const std::string& name = "Definicao.ini") const {
        std::ifstream in(m_root / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_root)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_root;
};

// A file as an operator might leave it after editing by hand.
const char* const kHandEdited =
    "; comment before any section\r\n"
    "orphan=before any section\r\n"
    "[Arquivos]\r\n"
    "clientes.txt=Cliente\r\n"
    "  Spaced Key  =  spaced value  \r\n"
    "quoted=\" a blank \"\r\n"
    "single=' x '\r\n"
    "mismatch=\"abc'\r\n"
    "onlyquote=\"\r\n"
    "emptyquotes=\"\"\r\n"
    "twice=\"\"x\"\"\r\n"
    "noequals line\r\n"
    ";commented=1\r\n"
    "dup=first\r\n"
    "dup=second\r\n"
    "DUP=third\r\n"
    "high=S\xe3o Jos\xe9 \x80\xff\r\n"
    "empty=\r\n"
    "=emptykey\r\n"
    "eq=a=b\r\n"
    "tab=\t\r\n"
    "\r\n"
    "[arquivos]\r\n"
    "hidden=in a duplicate section\r\n"
    "[ Outra ] trailing text\r\n"
    "k = v\r\n"
    "[Vazia]\r\n"
    "[S\xc3O]\r\n"
    "Chave=acento\r\n"
    "[sem fim\r\n"
    "z=1\r\n";

TEST_F(ProfileFileTest, ReadsByTheFileRules) {
    put(kHandEdited);
    const ProfileFile ini(path());
    struct Case {
        const char* section;
        const char* key;
        std::string expected;
    };
    const Case cases[] = {
        {"Arquivos", "clientes.txt", "Cliente"},
        {"ARQUIVOS", "CLIENTES.TXT", "Cliente"},  // names ignore case
        {"arquivos", "Spaced Key", "spaced value"},
        {" arquivos ", " spaced key ", "spaced value"},  // the caller's names are trimmed too
        {"Arquivos", "quoted", " a blank "},
        {"Arquivos", "single", " x "},
        {"Arquivos", "mismatch", "\"abc'"},
        {"Arquivos", "onlyquote", "\""},
        {"Arquivos", "emptyquotes", ""},
        {"Arquivos", "twice", "\"x\""},  // one pair only
        {"Arquivos", "noequals line", "DEF"},
        {"Arquivos", ";commented", "DEF"},
        {"Arquivos", "dup", "first"},
        {"Arquivos", "high", "S\xe3o Jos\xe9 \x80\xff"},
        {"Arquivos", "empty", ""},
        {"Arquivos", "", "emptykey"},
        {"Arquivos", "eq", "a=b"},
        {"Arquivos", "tab", ""},
        {"Arquivos", "hidden", "DEF"},  // only the first section of a name counts
        {"", "orphan", "DEF"},
        {"Outra", "k", "v"},
        {"Outra", "trailing text", "DEF"},
        {"s\xe3o", "chave", "acento"},  // Windows-1252 letter case
        {"sem fim", "z", "1"},
        {"Vazia", "k", "DEF"},
        {"Nenhuma", "k", "DEF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.readString(c.section, c.key, "DEF"), c.expected);
    }
    EXPECT_TRUE(ini.keyExists("arquivos", "EMPTY"));
    EXPECT_FALSE(ini.keyExists("arquivos", "hidden"));
    EXPECT_TRUE(ini.sectionExists("vazia"));
    EXPECT_FALSE(ini.sectionExists("Nenhuma"));
}

TEST_F(ProfileFileTest, ListsKeysInFileOrderOnce) {
    put(kHandEdited);
    const ProfileFile ini(path());
    const std::vector<std::string> expected = {
        "clientes.txt", "Spaced Key", "quoted", "single", "mismatch", "onlyquote", "emptyquotes",
        "twice",        "dup",        "high",   "empty",  "",         "eq",        "tab"};
    EXPECT_EQ(ini.readSection("ARQUIVOS"), expected);
    EXPECT_EQ(ini.readSection("Vazia"), std::vector<std::string>{});
    EXPECT_EQ(ini.readSection("Nenhuma"), std::vector<std::string>{});
}

TEST_F(ProfileFileTest, LineEndingsReadAlike) {
    struct Case {
        const char* label;
        std::string text;
    };
    const Case cases[] = {
        {"CR LF", "[A]\r\nk=1\r\nj=2\r\n"},
        {"LF", "[A]\nk=1\nj=2\n"},
        {"CR", "[A]\rk=1\rj=2\r"},
        {"no final break", "[A]\r\nk=1\r\nj=2"},
        {"mixed", "[A]\nk=1\r\nj=2"},
        {"byte order mark", "\xEF\xBB\xBF[A]\r\nk=1\r\nj=2\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        put(c.text);
        const ProfileFile ini(path());
        EXPECT_EQ(ini.readString("a", "k", ""), "1");
        EXPECT_EQ(ini.readString("a", "j", ""), "2");
        EXPECT_EQ(ini.readSection("a"), (std::vector<std::string>{"k", "j"}));
    }
}

TEST_F(ProfileFileTest, ValueCutTo2047Bytes) {
    const std::string fits(2047, 'v');
    put("[A]\r\nfits=" + fits + "\r\nlong=" + fits + "xyz\r\nquoted=\"" + fits + "x\"\r\n");
    const ProfileFile ini(path());
    EXPECT_EQ(ini.readString("A", "fits", ""), fits);
    EXPECT_EQ(ini.readString("A", "long", ""), fits);
    EXPECT_EQ(ini.readString("A", "quoted", ""), fits);  // quotes first, then the cut
}

TEST_F(ProfileFileTest, ListingBoundedTo16384Bytes) {
    // Names of 1023 bytes cost 1024 with their terminating byte; sixteen of them fill the bound.
    const auto listing = [&](const std::vector<std::string>& names) {
        std::string text = "[A]\r\n";
        for (const std::string& n : names) text += n + "=1\r\n";
        put(text);
        return ProfileFile(path()).readSection("A");
    };
    std::vector<std::string> names;
    for (char c = 'a'; c < 'a' + 16; ++c) names.emplace_back(1023, c);
    std::vector<std::string> listed = listing(names);
    EXPECT_EQ(listed.size(), 16u);  // 16384 bytes: all listed

    names.push_back("x");  // 16386: left out
    listed = listing(names);
    ASSERT_EQ(listed.size(), 16u);
    EXPECT_EQ(listed.back(), std::string(1023, 'p'));

    names[15] = std::string(1021, 'p');  // 16382 + "x" = 16384: "x" listed, "y" not
    names.push_back("y");
    listed = listing(names);
    ASSERT_EQ(listed.size(), 17u);
    EXPECT_EQ(listed.back(), "x");
}

TEST_F(ProfileFileTest, IntegersAndBooleans) {
    put("[O]\r\n"
        "dec=12\r\nneg=-7\r\nlead=\"  12\"\r\nhex=$1F\r\nc=0x1F\r\nall=$FFFFFFFF\r\nnhex=-$10\r\n"
        "junk=12a\r\nempty=\r\nbig=99999999999\r\nzero=0\r\ntwo=2\r\nword=sim\r\n");
    const ProfileFile ini(path());
    struct Case {
        const char* key;
        std::int32_t integer;  // read with default 77
        bool whenTrue;         // read as boolean with default true
        bool whenFalse;        // read as boolean with default false
    };
    const Case cases[] = {
        {"dec", 12, true, true},   {"neg", -7, true, true},      {"lead", 12, true, true},
        {"hex", 31, true, true},   {"c", 31, true, true},        {"all", -1, true, true},
        {"nhex", -16, true, true}, {"junk", 77, true, false},    {"empty", 77, true, false},
        {"big", 77, true, false},  {"zero", 0, false, false},    {"two", 2, true, true},
        {"word", 77, true, false}, {"missing", 77, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.readInteger("o", c.key, 77), c.integer);
        EXPECT_EQ(ini.readBool("o", c.key, true), c.whenTrue);
        EXPECT_EQ(ini.readBool("o", c.key, false), c.whenFalse);
    }
}

TEST_F(ProfileFileTest, MissingFileReadsDefaults) {
    const ProfileFile ini(path());
    EXPECT_EQ(ini.readString("Arquivos", "x", "\t"), "\t");
    EXPECT_EQ(ini.readInteger("Arquivos", "x", 5), 5);
    EXPECT_TRUE(ini.readBool("Arquivos", "x", true));
    EXPECT_EQ(ini.readSection("Arquivos"), std::vector<std::string>{});
    EXPECT_FALSE(ini.sectionExists("Arquivos"));
    EXPECT_EQ(ini.fileName(), path());
}

TEST_F(ProfileFileTest, WritesEditTheTextWhereItBelongs) {
    struct Case {
        const char* label;
        std::string before;  // "-" for no file
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    };
    const Case cases[] = {
        {"new file gets CR LF", "-", "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"empty file", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"new section after a blank line", "[S]\r\nk=v\r\n", "T", "j", "w",
         "[S]\r\nk=v\r\n\r\n[T]\r\nj=w\r\n"},
        {"no second blank line", "[S]\r\nk=v\r\n\r\n", "T", "j", "w",
         "[S]\r\nk=v\r\n\r\n[T]\r\nj=w\r\n"},
        {"replace in place, file's spelling", "[A]\r\n; note\r\n  KEY = old \r\nz=1\r\n", "a",
         "key", "new", "[A]\r\n; note\r\nKEY=new\r\nz=1\r\n"},
        {"append before the blank lines", "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n", "A", "c", "3",
         "[A]\r\na=1\r\nc=3\r\n\r\n[B]\r\nb=2\r\n"},
        {"append after comments and odd lines", "[A]\r\na=1\r\n;x\r\nodd\r\n\r\n[B]\r\n", "A", "c",
         "3", "[A]\r\na=1\r\n;x\r\nodd\r\nc=3\r\n\r\n[B]\r\n"},
        {"header-only section", "[A]\r\n[B]\r\n", "a", "k", "v", "[A]\r\nk=v\r\n[B]\r\n"},
        {"LF kept when replacing", "[A]\na=1\n", "A", "a", "22", "[A]\na=22\n"},
        {"LF kept when appending", "[A]\na=1\n", "A", "b", "2", "[A]\na=1\nb=2\n"},
        {"LF kept for a new section", "[A]\na=1\n", "B", "b", "2", "[A]\na=1\n\n[B]\nb=2\n"},
        {"missing final break, append", "[A]\r\na=1", "A", "b", "2", "[A]\r\na=1\r\nb=2\r\n"},
        {"missing final break, replace", "[A]\r\na=1", "A", "a", "2", "[A]\r\na=2"},
        {"missing final break, new section", "[A]\r\na=1", "B", "b", "2",
         "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"},
        {"duplicate key: first rewritten", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "9",
         "[A]\r\nk=9\r\nk=2\r\n"},
        {"duplicate section: first gets the key", "[A]\r\nk=1\r\n[a]\r\nj=3\r\n", "A", "j", "9",
         "[A]\r\nk=1\r\nj=9\r\n[a]\r\nj=3\r\n"},
        {"entries before any section stay", "x=1\r\n", "A", "x", "2", "x=1\r\n\r\n[A]\r\nx=2\r\n"},
        {"bytes 128-255 unchanged", "[A]\r\nn=\xe7\xe3o\x80\xff\r\n", "A", "m", "S\xe3o\x9f",
         "[A]\r\nn=\xe7\xe3o\x80\xff\r\nm=S\xe3o\x9f\r\n"},
        {"byte order mark kept", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "2",
         "\xEF\xBB\xBF[A]\r\nk=2\r\n"},
        {"blank-only file", "\r\n\r\n", "S", "k", "v", "\r\n\r\n[S]\r\nk=v\r\n"},
        {"empty key name", "-", "S", "", "v", "[S]\r\n=v\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove(m_root / "Definicao.ini");
        if (c.before != "-") put(c.before);
        ProfileFile ini(path());
        ini.writeString(c.section, c.key, c.value);
        EXPECT_EQ(get(), c.after);
        EXPECT_EQ(ini.readString(c.section, c.key, "DEF"), c.value);
    }
}

TEST_F(ProfileFileTest, ValuesComeBackAsWritten) {
    struct Case {
        std::string value;
        std::string line;  // as it stands in the file
    };
    const Case cases[] = {
        {" ", "k=\" \""},  // a one-blank "DelCamp"
        {"\t", "k=\"\t\""},
        {" lead", "k=\" lead\""},
        {"trail ", "k=\"trail \""},
        {"\"q\"", "k=\"\"q\"\""},
        {"'q'", "k=\"'q'\""},
        {"\"", "k=\""},
        {"a \"b\" c", "k=a \"b\" c"},
        {"", "k="},
        {"a=b;c", "k=a=b;c"},
    };
    ProfileFile ini(path());
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.value + "'");
        ini.writeString("S", "k", c.value);
        EXPECT_EQ(get(), "[S]\r\n" + c.line + "\r\n");
        EXPECT_EQ(ini.readString("S", "k", "DEF"), c.value);
    }
}

TEST_F(ProfileFileTest, UnquotedBlankReadsEmpty) {
    put("[x.opcoes]\r\nDelCamp= \r\nOutro=\" \"\r\n");
    const ProfileFile ini(path());
    EXPECT_EQ(ini.readString("x.opcoes", "DelCamp", "\t"), "");
    EXPECT_EQ(ini.readString("x.opcoes", "Outro", "\t"), " ");
}

TEST_F(ProfileFileTest, BooleansAndIntegersWrittenAsDecimal) {
    ProfileFile ini(path());
    ini.writeBool("O", "LimparTabela", true);
    ini.writeBool("O", "UmPorLin", false);
    ini.writeInteger("O", "NumLinReg", -3);
    EXPECT_EQ(get(), "[O]\r\nLimparTabela=1\r\nUmPorLin=0\r\nNumLinReg=-3\r\n");
    EXPECT_TRUE(ini.readBool("O", "LimparTabela", false));
    EXPECT_FALSE(ini.readBool("O", "UmPorLin", true));
    EXPECT_EQ(ini.readInteger("O", "NumLinReg", 0), -3);
}

TEST_F(ProfileFileTest, DeleteKey) {
    struct Case {
        const char* label;
        std::string before;
        const char* section;
        const char* key;
        std::string after;
    };
    const Case cases[] = {
        {"middle", "[A]\r\na=1\r\nb=2\r\nc=3\r\n", "a", "B", "[A]\r\na=1\r\nc=3\r\n"},
        {"last line without break", "[A]\r\na=1\r\nb=2", "A", "b", "[A]\r\na=1\r\n"},
        {"duplicate: first only", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "[A]\r\nk=2\r\n"},
        {"missing key", "[A]\r\na=1\r\n", "A", "zz", "[A]\r\na=1\r\n"},
        {"missing section", "[A]\r\na=1\r\n", "B", "a", "[A]\r\na=1\r\n"},
        {"hidden in a duplicate section", "[A]\r\n[a]\r\nk=1\r\n", "A", "k",
         "[A]\r\n[a]\r\nk=1\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        put(c.before);
        ProfileFile ini(path());
        ini.deleteKey(c.section, c.key);
        EXPECT_EQ(get(), c.after);
    }
}

TEST_F(ProfileFileTest, DeleteOfMissingKeyTouchesNothing) {
    ProfileFile ini(path());
    ini.deleteKey("A", "k");
    EXPECT_FALSE(fs::exists(m_root / "Definicao.ini"));  // not created

    put("[A]\r\na=1\r\n");
    struct stat before {};
    ASSERT_EQ(::stat((m_root / "Definicao.ini").c_str(), &before), 0);
    ini.deleteKey("A", "k");
    struct stat after {};
    ASSERT_EQ(::stat((m_root / "Definicao.ini").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(ProfileFileTest, NamesAndValuesTheFileCannotHoldAreRefused) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"A", "k", "one\r\n[B]\r\nx=2"},
        {"A", "k", "a\nb"},
        {"A\r\n", "k\nj", "v"},
        {"A]x", "k", "v"},
        {"A", "a=b", "v"},
        {"A", "[B]", "v"},
        {"A", ";k", "v"},
        {"A\nB", "k", "v"},
    };
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        try {
            ini.writeString(c.section, c.key, c.value);
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Unable to write to " + path() + ": ", 0), 0u)
                << e.what();
        }
        EXPECT_EQ(get(), "[A]\r\nk=1\r\n");
    }
}

// Root may write read-only files, so the refusals here are ones that hold for root as well: a
// folder that is missing, a path that runs through a regular file, a directory in the file's
// place.
TEST_F(ProfileFileTest, WriteTheSystemRefusesRaisesUnableToWrite) {
    put("not a folder", "plain.txt");
    fs::create_directories(m_root / "pasta.ini");
    const std::string paths[] = {path("nope/Definicao.ini"), path("plain.txt/Definicao.ini"),
                                 path("pasta.ini")};
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        ProfileFile ini(p);
        EXPECT_EQ(ini.readString("A", "k", "DEF"), "DEF");
        try {
            ini.writeString("A", "k", "v");
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + p);
        }
        try {
            ini.writeBool("A", "k", true);
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + p);
        }
    }
    EXPECT_FALSE(fs::exists(m_root / "nope"));  // the folder is never created
    EXPECT_TRUE(fs::is_empty(m_root / "pasta.ini"));
    EXPECT_EQ(get("plain.txt"), "not a folder");
}

// Runs `body` where the permission bits hold: root passes over them, so as root the body runs in
// a child that has given its rights up to an ordinary user, owner of `folder` and what it holds.
// Returns what `body` found wrong, "" when nothing.
std::string asOrdinaryUser(const fs::path& folder, const std::function<std::string()>& body) {
    if (::geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    if (::chown(folder.c_str(), kNobody, kNobody) != 0) return "chown failed";
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (::lchown(e.path().c_str(), kNobody, kNobody) != 0) return "chown failed";
    int out[2];
    if (::pipe(out) != 0) return "pipe failed";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        std::string wrong;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            wrong = "could not become an ordinary user";
        } else {
            try {
                wrong = body();
            } catch (const std::exception& e) {
                wrong = std::string("unexpected error: ") + e.what();
            }
        }
        const ssize_t written = ::write(out[1], wrong.data(), wrong.size());
        ::_exit(written == static_cast<ssize_t>(wrong.size()) ? 0 : 1);
    }
    ::close(out[1]);
    std::string wrong;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) wrong.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) wrong += " (the child failed)";
    return wrong;
}

TEST_F(ProfileFileTest, ReadOnlyFileRefusedForOrdinaryUsers) {
    put("[A]\r\nk=1\r\n");
    EXPECT_EQ("", asOrdinaryUser(m_root, [&]() -> std::string {
                  fs::permissions(m_root / "Definicao.ini", fs::perms::owner_read);
                  ProfileFile ini(path());
                  try {
                      ini.writeString("A", "k", "2");
                      return "a read-only file was written";
                  } catch (const EInOutError&) {
                  }
                  return get() == "[A]\r\nk=1\r\n" ? "" : "the file changed: " + get();
              }));
    EXPECT_EQ(get(), "[A]\r\nk=1\r\n");
}

TEST_F(ProfileFileTest, FolderThatTakesNoNewFilesStillLetsItsFileBeWritten) {
    put("[A]\r\nk=1\r\n");
    EXPECT_EQ("", asOrdinaryUser(m_root, [&]() -> std::string {
                  fs::permissions(m_root, fs::perms::owner_read | fs::perms::owner_exec);
                  ProfileFile ini(path());
                  ini.writeString("A", "k", "22");
                  ini.writeString("A", "j", "3");
                  std::string wrong;
                  if (get() != "[A]\r\nk=22\r\nj=3\r\n") wrong = "the file holds " + get();
                  ProfileFile missing(path("Novo.ini"));
                  try {
                      missing.writeString("A", "k", "1");
                      wrong += "; a new file was made in a folder that takes none";
                  } catch (const EInOutError&) {
                  }
                  fs::permissions(m_root, fs::perms::owner_all);
                  return wrong;
              }));
    EXPECT_EQ(get(), "[A]\r\nk=22\r\nj=3\r\n");
}

TEST_F(ProfileFileTest, EarlierWritesStayWhenALaterOneFails) {
    ProfileFile ini(path());
    ini.writeString("A", "k", "1");
    EXPECT_THROW(ini.writeString("A", "k=", "2"), EInOutError);
    EXPECT_EQ(ini.readString("A", "k", ""), "1");
    EXPECT_EQ(get(), "[A]\r\nk=1\r\n");
}

TEST_F(ProfileFileTest, RewriteKeepsPermissionsLinksAndLeavesNoTemporaryFile) {
    put("[A]\r\nk=1\r\n");
    fs::permissions(m_root / "Definicao.ini",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(m_root / "Definicao.ini", m_root / "link.ini");
    ProfileFile ini(path("link.ini"));
    ini.writeString("A", "k", "2");
    EXPECT_TRUE(fs::is_symlink(m_root / "link.ini"));
    EXPECT_EQ(get(), "[A]\r\nk=2\r\n");
    EXPECT_EQ(fs::status(m_root / "Definicao.ini").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(entries(), (std::vector<std::string>{"Definicao.ini", "link.ini"}));
}

TEST_F(ProfileFileTest, AWriteCutShortLeavesTheFileWholeAndSaysWhy) {
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    EXPECT_EQ(ini.readString("A", "k", ""), "1");
    for (const WriteStep step : {WriteStep::Write, WriteStep::Flush, WriteStep::Rename}) {
        setWriteFaultHook(
            [step](WriteStep at, const std::string&) { return at == step ? ENOSPC : 0; });
        try {
            ini.writeString("A", "k", "2");
            ADD_FAILURE() << "no error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Unable to write to " + path() + ": " + std::strerror(ENOSPC));
        }
        setWriteFaultHook({});
        EXPECT_EQ(get(), "[A]\r\nk=1\r\n");
        EXPECT_EQ(ini.readString("A", "k", ""), "1");
        EXPECT_EQ(entries(), std::vector<std::string>{"Definicao.ini"});
    }
}

// Two workbenches, or a workbench and a batch run, writing the same file at once: each write
// reads the file, changes it and renames the new text into place, and none may come between.
TEST_F(ProfileFileTest, TwoProcessesWritingAtOnceLoseNoEntry) {
    constexpr int kKeys = 1000;
    // The lock is what is tested, not the disk: where a memory file system is at hand the 2000
    // flushes cost nothing.
    std::error_code ec;
    const fs::path shm = "/dev/shm";
    fs::path folder = m_root;
    if (fs::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0)
        folder = shm / m_root.filename();
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
    const std::string file = fromOsPath(folder / "Definicao.ini");
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (int n = 0; n < 2; ++n) {
        children[n] = ::fork();
        ASSERT_GE(children[n], 0);
        if (children[n] == 0) {
            ::close(go[1]);
            char c;
            while (::read(go[0], &c, 1) < 0 && errno == EINTR) {
            }
            int code = 0;
            try {
                ProfileFile ini(file);
                for (int i = 0; i < kKeys; ++i)
                    ini.writeString("Chaves", "p" + std::to_string(n) + "-" + std::to_string(i),
                                    std::to_string(i));
            } catch (...) {
                code = 1;
            }
            ::_exit(code);
        }
    }
    ::close(go[0]);
    ::close(go[1]);  // both start now
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ProfileFile ini(file);
    const std::vector<std::string> keys = ini.readSection("Chaves");
    EXPECT_EQ(keys.size(), 2u * kKeys);
    std::set<std::string> missing;
    for (int n = 0; n < 2; ++n)
        for (int i = 0; i < kKeys; ++i) {
            const std::string key = "p" + std::to_string(n) + "-" + std::to_string(i);
            if (ini.readString("Chaves", key, "") != std::to_string(i)) missing.insert(key);
        }
    EXPECT_TRUE(missing.empty()) << missing.size() << " entries lost, the first "
                                 << *missing.begin();
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(folder)) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"Definicao.ini"}) << "no temporary, no lock file";
    fs::remove_all(folder, ec);
}

TEST_F(ProfileFileTest, FileNameMatchedWithoutRegardToCase) {
    put("[A]\r\nk=1\r\n", "definicao.INI");
    ProfileFile ini(path("Definicao.ini"));
    EXPECT_EQ(ini.readString("A", "k", ""), "1");
    ini.writeString("A", "k", "2");
    EXPECT_EQ(get("definicao.INI"), "[A]\r\nk=2\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"definicao.INI"});
    EXPECT_EQ(ini.fileName(), path("Definicao.ini"));
}

// Every read must see the disk, through change notifications (true) or a stat of the file
// (false). Each object is read twice before a change: the second read, served from the parsed
// copy, is the one that starts watching.
class ProfileFileFreshness : public ProfileFileTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        ProfileFileTest::SetUp();
        ProfileFile::useChangeNotification(GetParam());
    }
    void TearDown() override {
        ProfileFile::useChangeNotification(true);
        ProfileFileTest::TearDown();
    }
    static void warm(const ProfileFile& ini, const char* expected) {
        EXPECT_EQ(ini.readString("A", "k", "DEF"), expected);
        EXPECT_EQ(ini.readString("A", "k", "DEF"), expected);
    }
};

INSTANTIATE_TEST_SUITE_P(Both, ProfileFileFreshness, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Notified" : "Stat"; });

TEST_P(ProfileFileFreshness, ChangesOnDiskAreSeen) {
    ProfileFile ini(path());
    warm(ini, "DEF");
    put("[A]\r\nk=1\r\n");  // created
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "1");
    warm(ini, "1");
    put("[A]\r\nk=2\r\n");  // rewritten in place, same size, right after the last read
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "2");
    warm(ini, "2");
    put("[A]\r\nk=33\r\n");  // size changed
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "33");
    warm(ini, "33");
    fs::remove(m_root / "Definicao.ini");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "DEF");
    warm(ini, "DEF");
    put("[A]\r\nk=4\r\n");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "4");
}

// The spelling of the file's name is settled at each change, not when the object is made.
TEST_P(ProfileFileFreshness, AFileOfAnotherCaseThatAppearsLaterAnswers) {
    ProfileFile ini(path());
    ProfileFile unread(path());
    warm(ini, "DEF");
    put("[A]\r\nk=1\r\n", "DEFINICAO.INI");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "1");
    unread.writeString("A", "j", "2");  // its first use is a write
    EXPECT_EQ(get("DEFINICAO.INI"), "[A]\r\nk=1\r\nj=2\r\n");
    EXPECT_EQ(entries(), std::vector<std::string>{"DEFINICAO.INI"}) << "no second file";
    warm(ini, "1");
    EXPECT_EQ(ini.readString("A", "j", ""), "2");
    fs::remove(m_root / "DEFINICAO.INI");
    put("[A]\r\nk=3\r\n", "definicao.ini");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "3");
    ini.writeString("A", "k", "4");
    EXPECT_EQ(entries(), std::vector<std::string>{"definicao.ini"});
    EXPECT_EQ(unread.readString("A", "k", ""), "4");
}

TEST_P(ProfileFileFreshness, SameSizeAndTimeButNewIdentityIsSeen) {
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    warm(ini, "1");
    put("[A]\r\nk=2\r\n", "other.ini");
    struct stat st {};
    ASSERT_EQ(::stat((m_root / "Definicao.ini").c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_root / "other.ini").c_str(), times, 0), 0);
    fs::rename(m_root / "other.ini", m_root / "Definicao.ini");
    EXPECT_EQ(ini.readString("A", "k", ""), "2");
}

TEST_P(ProfileFileFreshness, SameSizeWithModificationTimeRestoredIsSeen) {
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    warm(ini, "1");
    struct stat st {};
    ASSERT_EQ(::stat((m_root / "Definicao.ini").c_str(), &st), 0);
    put("[A]\r\nk=2\r\n");
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, (m_root / "Definicao.ini").c_str(), times, 0), 0);
    EXPECT_EQ(ini.readString("A", "k", ""), "2");
}

TEST_P(ProfileFileFreshness, WriteThroughAHardLinkElsewhereIsSeen) {
    put("[A]\r\nk=1\r\n");
    fs::create_directories(m_root / "outra");
    fs::create_hard_link(m_root / "Definicao.ini", m_root / "outra" / "copia.ini");
    ProfileFile ini(path());
    warm(ini, "1");
    put("[A]\r\nk=2\r\n", "outra/copia.ini");  // same inode, same size
    EXPECT_EQ(ini.readString("A", "k", ""), "2");
}

TEST_P(ProfileFileFreshness, FolderMovedAwayAndBack) {
    fs::create_directories(m_root / "dados");
    put("[A]\r\nk=1\r\n", "dados/Definicao.ini");
    ProfileFile ini(path("dados/Definicao.ini"));
    warm(ini, "1");
    fs::rename(m_root / "dados", m_root / "antigos");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "DEF");
    fs::create_directories(m_root / "dados");
    put("[A]\r\nk=2\r\n", "dados/Definicao.ini");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "2");
    warm(ini, "2");
    put("[A]\r\nk=3\r\n", "dados/Definicao.ini");
    EXPECT_EQ(ini.readString("A", "k", "DEF"), "3");
}

TEST_P(ProfileFileFreshness, TwoObjectsOnOneFileSeeEachOthersWrites) {
    ProfileFile first(path());
    const ProfileFile second(path());
    first.writeString("A", "k", "1");
    warm(second, "1");
    // Same size, well within any time stamp granularity.
    first.writeString("A", "k", "2");
    EXPECT_EQ(second.readString("A", "k", ""), "2");
    warm(first, "2");
    ProfileFile copy = first;
    copy.writeString("A", "k", "3");
    EXPECT_EQ(first.readString("A", "k", ""), "3");
    EXPECT_EQ(second.readString("A", "k", ""), "3");
    first.deleteKey("A", "k");
    EXPECT_EQ(second.readString("A", "k", "DEF"), "DEF");
}

TEST_P(ProfileFileFreshness, ChangesByAnotherProcessAreSeenAtTheNextRead) {
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    warm(ini, "1");
    struct Change {
        const char* how;
        const char* text;
        const char* expected;
    };
    // Each text has the size of the one before, and lands within a time stamp tick of the read.
    const Change changes[] = {{"in place", "[A]\r\nk=2\r\n", "2"},
                              {"replaced by a rename", "[A]\r\nk=3\r\n", "3"},
                              {"in place again", "[A]\r\nk=4\r\n", "4"}};
    for (const Change& c : changes) {
        SCOPED_TRACE(c.how);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (std::string(c.how) == "replaced by a rename") {
                put(c.text, "novo.ini");
                ::rename((m_root / "novo.ini").c_str(), (m_root / "Definicao.ini").c_str());
            } else {
                put(c.text);
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(ini.readString("A", "k", ""), c.expected);
        warm(ini, c.expected);
    }
}

TEST_P(ProfileFileFreshness, ManyReadsWithoutAChangeThenOneChange) {
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(ini.readString("A", "k", ""), "1") << i;
    put("[A]\r\nk=2\r\n");
    EXPECT_EQ(ini.readString("A", "k", ""), "2");
    EXPECT_EQ(ini.readString("A", "k", ""), "2");
}

TEST_P(ProfileFileFreshness, OtherFilesOfTheFolderChangeNothing) {
    put("[A]\r\nk=1\r\n");
    ProfileFile ini(path());
    warm(ini, "1");
    put("[A]\r\nk=2\r\n", "clientes.txt");
    fs::remove(m_root / "clientes.txt");
    warm(ini, "1");
}

TEST_F(ProfileFileTest, WorkbenchRoundTrip) {
    ProfileFile ini(path());
    ini.writeString("Arquivos", "clientes.txt", "");
    ini.writeString("Arquivos", "fichas.txt", "");
    ini.writeString("arquivos", "clientes.txt", "Cliente");
    ini.writeBool("clientes.txt.opcoes", "LimparTabela", true);
    ini.writeString("clientes.txt.campos", "CODIGO", "Cliente.cod");
    ini.writeString("clientes.txt.campos", "NOME", "Cliente.raz");
    ini.writeString("Arquivos", "fichas.txt", "Receber,ParRec");
    ini.deleteKey("clientes.txt.campos", "codigo");
    EXPECT_EQ(get(),
              "[Arquivos]\r\nclientes.txt=Cliente\r\nfichas.txt=Receber,ParRec\r\n\r\n"
              "[clientes.txt.opcoes]\r\nLimparTabela=1\r\n\r\n"
              "[clientes.txt.campos]\r\nNOME=Cliente.raz\r\n");
    EXPECT_EQ(ini.readSection("ARQUIVOS"),
              (std::vector<std::string>{"clientes.txt", "fichas.txt"}));
}

}  // namespace
}  // namespace sivaro
