// The import engine over any source file: delimited or record-type, with options taken from the
// input's first bytes. It must end, write only whole tables, and raise only the system's errors.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "import/ImportEngine.h"
#include "store/TableCreate.h"
#include "store/TableStore.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace {

using namespace sivaro;
namespace fs = std::filesystem;

class FuzzHost : public ImportHost {
  public:
    explicit FuzzHost(std::string folder)
        : m_folder(std::move(folder)), m_defs(joinPath(m_folder, "Definicao.ini")) {}
    std::string dataFolder() override { return m_folder; }
    ProfileFile& definitions() override { return m_defs; }
    std::vector<std::string> sources() override { return {"origem.txt"}; }
    int selectedSource() override { return 0; }
    bool importAll() override { return false; }
    void gaugeChanged(const Gauge&) override {}
    void setImportingLabel(const std::string&) override {}
    void setLineCounter(const std::string&) override {}
    void addLogLine(const std::string&) override {}
    int MostraMensagem(const std::string&, const std::string&, int, int) override { return 1; }
    void processMessages() override {}

  private:
    std::string m_folder;
    ProfileFile m_defs;
};

const std::string& folder() {
    static const std::string f =
        (fs::temp_directory_path() / ("sivaro-fuzz-import-" + std::to_string(::getpid()))).string();
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool recordType = data[0] & 1;
    const bool delReg = data[0] & 2;
    const int numLinReg = data[1] % 5;
    const std::string source(reinterpret_cast<const char*>(data + 2), size - 2);

    fs::remove_all(folder());
    fs::create_directories(folder() + "/db");
    px::createTable(folder() + "/db/Marca.db",
                    px::parseSchema("cod\t+\t4\t*\nmar\tA\t20\nvalor\tN\t8\ndata\tD\t4\n"));
    std::ofstream(folder() + "/origem.txt", std::ios::binary) << source;
    std::ofstream(folder() + "/Definicao.ini", std::ios::binary)
        << "[Arquivos]\r\norigem.txt=Marca\r\n[origem.txt.opcoes]\r\nUmPorLin="
        << (recordType ? 0 : 1) << "\r\nDelReg=" << (delReg ? 1 : 0)
        << "\r\nIniReg=R\r\nNumLinReg=" << numLinReg
        << "\r\n[origem.txt.campos]\r\nA=Marca.mar\r\nB=Marca.valor\r\nC=Marca.data\r\n"
           "[origem.txt.campos.linha1]\r\nA=1,5\r\nB=6,4\r\n[origem.txt.campos.linha2]\r\nC=2,"
           "10\r\n";

    FuzzHost host(folder());
    ImportEngine engine(host, [](const std::string&) { return createParadoxStore(); });
    engine.pointCityTable();
    try {
        engine.runSources();
    } catch (const Exception&) {
        // A run stopped by the system's own errors is a valid end.
    }
    return 0;
}
