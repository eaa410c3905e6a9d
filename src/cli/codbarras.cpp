// codbarras: draws one barcode, as the importer's barcode control draws it, into a PNG, SVG or
// PDF file, for shop labels and for checking the drawing by eye.
//
//   codbarras --tipo ean13 --dados 400638133393 --saida etiqueta.png
//
// Errors are the control's own messages (in English, as it raises them) or, for the command
// line, Portuguese ones. Exit status: 0 when the file was written, 1 when the barcode was
// refused or the file could not be written, 2 for a wrong command line.

#include <QBuffer>
#include <QByteArray>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "barcode/paint/BarcodePicture.h"
#include "barcode/paint/PagePrinter.h"
#include "barcode/paint/PaintingApplication.h"
#include "barcode/paint/QPainterSurface.h"
#include "barcode/paint/TVxBarcode.h"
#include "util/CodePage.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"

namespace {

using namespace sivaro;

const char* kUsage =
    "Uso: codbarras --dados DADOS --saida ARQUIVO [opções]\n"
    "\n"
    "Desenha um código de barras como o componente do importador o desenha, num\n"
    "arquivo PNG, SVG ou PDF (pela extensão de ARQUIVO).\n"
    "\n"
    "  --tipo TIPO          upca, ean13, i2de5, code128, code39 ou postnet (padrão: "
    "code39)\n"
    "  --dados DADOS        os dados; #N dá o caractere de código N (no Code 128, #208,\n"
    "                       #209 e #210 iniciam os conjuntos A, B e C), ## dá um #\n"
    "  --adicional DIGITOS  suplemento de 2 ou 5 dígitos (UPC-A e EAN-13)\n"
    "  --largura L          largura da barra estreita (padrão: 0.015 pol)\n"
    "  --unidade U          pol (polegadas, padrão) ou mm, de --largura e --altura\n"
    "  --razao R            largura da barra larga em barras estreitas (padrão: 3)\n"
    "  --orientacao O       esq-dir (padrão), dir-esq, cima-baixo ou baixo-cima\n"
    "  --texto sim|nao      escreve os dados sob as barras (padrão: sim)\n"
    "  --digito sim|nao     calcula o dígito verificador do UPC-A e do EAN-13 "
    "(padrão: sim)\n"
    "  --alinhamento A      esq (padrão), dir ou centro: o texto dos outros tipos\n"
    "  --apoio sim|nao      barras de apoio acima e abaixo (só Interleaved 2 of 5)\n"
    "  --resolucao DPI      pontos por polegada do desenho (padrão: 96, a tela)\n"
    "  --margem PONTOS      margem branca em volta, em pontos do desenho (padrão: 10)\n"
    "  --altura A           só PDF: altura das barras na unidade; 0 mantém a do "
    "símbolo\n"
    "  --ajuda              mostra esta ajuda\n"
    "\n"
    "O PDF é impresso como numa impressora de DPI pontos por polegada, numa página "
    "do\n"
    "tamanho do símbolo com a margem.\n"
    "Números aceitam ponto ou vírgula decimal.\n"
    "Saída: 0 quando o arquivo foi gravado, 1 quando o código foi recusado ou o arquivo\n"
    "não pôde ser gravado, 2 quando a linha de comando está errada.\n";

struct UsageError {
    std::string message;
};

struct Options {
    TBarCodeType type = bcCode39;
    std::optional<std::string> data;
    std::string addOn;
    std::optional<float> barWidth;
    TMeasurementUnits units = muInches;
    float ratio = 3.0f;
    TBCOrientation orientation = orLeft_Right;
    bool text = true;
    bool checkDigit = true;
    TAlignment alignment = taLeftJustify;
    bool bearerBars = false;
    float resolution = 96.0f;
    int margin = 10;
    float barHeight = 0.0f;
    std::string output;
};

float number(const std::string& option, std::string text) {
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        throw UsageError{option + " precisa de um número, não \"" + text + "\""};
    }
    return value;
}

int wholeNumber(const std::string& option, const std::string& text) {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        value < 0) {
        throw UsageError{option + " precisa de um número inteiro, não \"" + text + "\""};
    }
    return value;
}

bool yesNo(const std::string& option, const std::string& text) {
    if (text == "sim" || text == "s") return true;
    if (text == "nao" || text == "não" || text == "n") return false;
    throw UsageError{option + " aceita sim ou nao, não \"" + text + "\""};
}

template <typename Enum>
Enum choice(const std::string& option, const std::string& text,
            const std::vector<std::pair<std::string_view, Enum>>& names,
            std::optional<Enum> (*componentName)(std::string_view)) {
    for (const auto& [name, value] : names) {
        if (text == name) return value;
    }
    if (componentName) {
        if (const std::optional<Enum> value = componentName(text)) return *value;
    }
    std::string known;
    for (const auto& [name, value] : names)
        known += (known.empty() ? "" : ", ") + std::string(name);
    throw UsageError{option + " aceita " + known + "; não \"" + text + "\""};
}

// The data as typed (UTF-8) in Windows-1252, with #N naming a character by its code.
std::string dataBytes(const std::string& typed) {
    std::string out;
    std::string plain;
    auto flush = [&] {
        out += utf8ToCp1252(plain);
        plain.clear();
    };
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] != '#') {
            plain += typed[i];
            continue;
        }
        if (i + 1 < typed.size() && typed[i + 1] == '#') {
            plain += '#';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int code = 0;
        while (j < typed.size() && j < i + 4 && typed[j] >= '0' && typed[j] <= '9') {
            code = code * 10 + (typed[j] - '0');
            ++j;
        }
        if (j == i + 1 || code > 255) {
            throw UsageError{
                "--dados: depois de # vem o código de um caractere (0 a 255) "
                "ou outro #, em \"" +
                typed + "\""};
        }
        flush();
        out += static_cast<char>(code);
        i = j - 1;
    }
    flush();
    return out;
}

Options parse(int argc, char** argv, bool& help) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--ajuda" || option == "-h" || option == "--help") {
            help = true;
            return o;
        }
        if (option.rfind("--", 0) != 0) {
            throw UsageError{"argumento inesperado \"" + option + "\""};
        }
        if (i + 1 >= argc) throw UsageError{option + " precisa de um valor"};
        const std::string value = argv[++i];
        if (option == "--tipo") {
            o.type = choice<TBarCodeType>(option, value,
                                          {{"upca", bcUPC_A},
                                           {"ean13", bcEAN_13},
                                           {"i2de5", bcInt2of5},
                                           {"code128", bcCode128},
                                           {"code39", bcCode39},
                                           {"postnet", bcPostnet}},
                                          &parseBarCodeType);
        } else if (option == "--dados") {
            o.data = dataBytes(value);
        } else if (option == "--adicional") {
            o.addOn = dataBytes(value);
        } else if (option == "--largura") {
            o.barWidth = number(option, value);
        } else if (option == "--unidade") {
            o.units = choice<TMeasurementUnits>(option, value, {{"pol", muInches}, {"mm", muMMs}},
                                                &parseMeasurementUnits);
        } else if (option == "--razao") {
            o.ratio = number(option, value);
        } else if (option == "--orientacao") {
            o.orientation = choice<TBCOrientation>(option, value,
                                                   {{"esq-dir", orLeft_Right},
                                                    {"dir-esq", orRight_Left},
                                                    {"cima-baixo", orTop_Bottom},
                                                    {"baixo-cima", orBottom_Top}},
                                                   &parseOrientation);
        } else if (option == "--texto") {
            o.text = yesNo(option, value);
        } else if (option == "--digito") {
            o.checkDigit = yesNo(option, value);
        } else if (option == "--alinhamento") {
            o.alignment = choice<TAlignment>(
                option, value,
                {{"esq", taLeftJustify}, {"dir", taRightJustify}, {"centro", taCenter}},
                &parseAlignment);
        } else if (option == "--apoio") {
            o.bearerBars = yesNo(option, value);
        } else if (option == "--resolucao") {
            o.resolution = number(option, value);
            if (!(o.resolution >= 10.0f && o.resolution <= 4800.0f)) {
                throw UsageError{"--resolucao vai de 10 a 4800 pontos por polegada, não " + value};
            }
        } else if (option == "--margem") {
            o.margin = wholeNumber(option, value);
            if (o.margin > 10000) throw UsageError{"--margem passa de 10000 pontos"};
        } else if (option == "--altura") {
            o.barHeight = number(option, value);
            if (!(o.barHeight >= 0.0f && o.barHeight <= 100.0f)) {
                throw UsageError{"--altura vai de 0 a 100 na unidade, não " + value};
            }
        } else if (option == "--saida") {
            o.output = value;
        } else {
            throw UsageError{"opção desconhecida \"" + option + "\""};
        }
    }
    if (!o.data) throw UsageError{"faltam os dados (--dados)"};
    if (o.output.empty()) throw UsageError{"falta o arquivo de saída (--saida)"};
    return o;
}

// The control's properties in the order a form loads them, so that each rule sees its own.
void configure(TVxBarcode& b, const Options& o) {
    b.SetBarCodeType(o.type);
    b.SetMeasurementUnits(o.units);
    if (o.barWidth) b.SetBarWidth(*o.barWidth);
    b.SetWideBarRatio(o.ratio);
    b.SetCalcCheckDigit(o.checkDigit);
    b.SetBearerBars(o.bearerBars);
    b.SetFontAlignment(o.alignment);
    b.SetOrientation(o.orientation);
    b.SetPrintHumanReadable(o.text);
    b.SetData(*o.data);
    b.SetAddOn(o.addOn);
}

std::string extensionOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext;
}

// Written beside the target and renamed over it, so a failure leaves no half file.
void writeFile(const std::string& path, const QByteArray& bytes) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw EInOutError("Não foi possível gravar "_cp1252 + utf8ToCp1252(path) + ": " +
                          utf8ToCp1252(file.errorString().toStdString()));
    }
}

QByteArray png(TVxBarcode& b, const Options& o) {
    const QImage image = renderBarcode(b, o.resolution, o.margin);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) throw EInOutError("A imagem PNG não pôde ser gerada"_cp1252);
    return bytes;
}

QByteArray svg(TVxBarcode& b, const Options& o) {
    const QSize size = barcodePictureSize(b, o.resolution, o.margin);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setResolution(static_cast<int>(o.resolution + 0.5f));
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("codbarras"));
    QPainter painter(&generator);
    QPainterSurface canvas(painter, static_cast<int>(o.resolution + 0.5f));
    canvas.Brush = {kColorWhite, BrushStyle::Solid};
    canvas.Pen.Color = kColorWhite;
    canvas.Rectangle(0, 0, size.width(), size.height());
    drawBarcodePicture(b, canvas, o.resolution, o.margin);
    painter.end();
    return bytes;
}

// A printer on an unseen image: lays the symbol out at the printer's resolution, to size the
// PDF's page before printing on it.
class MeasuringPrinter : public BarcodePrinter {
  public:
    explicit MeasuringPrinter(int resolution)
        : m_image(1, 1, resolution), m_resolution(resolution) {}
    DrawingSurface& Canvas() override { return m_canvas; }
    int ResolutionX() const override { return m_resolution; }
    int ResolutionY() const override { return m_resolution; }
    int OffsetX() const override { return 0; }
    int OffsetY() const override { return 0; }

  private:
    ImageSurface m_image;
    int m_resolution;
    QPainterSurface m_canvas{m_image.Surface().Painter(), m_resolution, true};
};

QByteArray pdf(TVxBarcode& b, const Options& o) {
    const int resolution = static_cast<int>(o.resolution + 0.5f);
    int width = 0, height = 0;
    {
        MeasuringPrinter measure(resolution);
        b.SetPrinter(&measure);
        b.PrintBarcode(0, 0, o.barHeight);
        b.SetPrinter(nullptr);
        const bool along = o.orientation == orLeft_Right || o.orientation == orRight_Left;
        width = (along ? b.FSymbolWidth : b.FSymbolHeight) + 2 * o.margin;
        height = (along ? b.FSymbolHeight : b.FSymbolWidth) + 2 * o.margin;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(resolution);
    writer.setCreator(QStringLiteral("codbarras"));
    const QSizeF inches(static_cast<double>(width) / resolution,
                        static_cast<double>(height) / resolution);
    writer.setPageSize(QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    PagePrinter printer(writer);
    b.SetPrinter(&printer);
    const float perUnit = o.units == muMMs ? 25.4f : 1.0f;
    const float margin = static_cast<float>(o.margin) / static_cast<float>(resolution) * perUnit;
    b.PrintBarcode(margin, margin, o.barHeight);
    b.SetPrinter(nullptr);
    printer.Finish();
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    bool help = false;
    Options options;
    try {
        options = parse(argc, argv, help);
    } catch (const UsageError& error) {
        std::cerr << "codbarras: " << error.message << "\nUse codbarras --ajuda para ver as opçõ"
                  << "es.\n";
        return 2;
    }
    if (help) {
        std::cout << kUsage;
        return 0;
    }
    const std::string ext = extensionOf(options.output);
    if (ext != "png" && ext != "svg" && ext != "pdf") {
        std::cerr << "codbarras: o arquivo de saída deve terminar em .png, .svg ou .pdf: "
                  << options.output << "\n";
        return 2;
    }
    try {
        ensurePaintingApplication();
        TVxBarcode b;
        configure(b, options);
        const QByteArray bytes = ext == "png"   ? png(b, options)
                                 : ext == "svg" ? svg(b, options)
                                                : pdf(b, options);
        writeFile(options.output, bytes);
    } catch (const Exception& error) {
        std::cerr << "codbarras: " << cp1252ToUtf8(error.what()) << "\n";
        return 1;
    }
    return 0;
}
