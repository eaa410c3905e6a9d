#include "store/ParadoxField.h"

#include <cmath>
#include <cstring>

#include "store/FieldText.h"
#include "store/ParadoxTable.h"
#include "util/CodePage.h"
#include "util/Paths.h"

namespace sivaro::px {

namespace {

std::string fieldTypeName(std::uint8_t type) {
    switch (type) {
        case kAlpha:
            return "string";
        case kDate:
            return "date";
        case kTime:
            return "time";
        case kTimestamp:
            return "date and time";
        case kLogical:
            return "boolean";
        case kShort:
        case kLong:
        case kAutoIncField:
            return "integer";
        default:
            return "floating point";
    }
}

}  // namespace

// ---- fields ---------------------------------------------------------------------------------

const FieldInfo& ParadoxField::info() const {
    return m_owner.table().fields()[m_index];
}
const std::string& ParadoxField::fieldName() const {
    return info().name;
}
const std::uint8_t* ParadoxField::readBytes() const {
    const std::uint8_t* rec = m_owner.currentBytes();
    return rec ? rec + info().offset : nullptr;
}
std::uint8_t* ParadoxField::writeBytes() {
    return m_owner.pendingBytes(info().name) + info().offset;
}

bool ParadoxField::isNull() const {
    const std::uint8_t* p = readBytes();
    if (!p) return true;
    if (isBlobType(info().type)) {
        const std::uint8_t* tail = p + info().bytes - kBlobTail;
        return allZero(tail + kBlobTailLength, 4);
    }
    return allZero(p, info().bytes);
}

void ParadoxField::refuse(const std::string& text, const std::string& kind) const {
    throw EConvertError("'" + text + "' is not a valid " + kind + " value for field '" +
                        info().name + "'");
}

double ParadoxField::number() const {
    const std::uint8_t* p = readBytes();
    if (!p || isNull()) return 0;
    const FieldInfo& f = info();
    switch (f.type) {
        case kShort:
        case kLong:
        case kAutoIncField:
        case kDate:
        case kTime:
            return static_cast<double>(decodeInt(p, f.bytes));
        case kNumber:
        case kCurrency:
        case kTimestamp:
            return decodeDouble(p);
        case kBcd:
            return decodeBcd(p, f.size);
        case kLogical:
            return p[0] == kLogicalTrue ? 1 : 0;
        default:
            break;
    }
    double v = 0;
    const std::string text = asString();
    if (!parseNumber(text, v)) refuse(text, "floating point");
    return v;
}

void ParadoxField::setNumber(double v, const std::string* text) {
    const FieldInfo& f = info();
    std::uint8_t* p = writeBytes();
    // The number as text only where a refusal shows it or a text field takes it: making it costs
    // more than the rest of the write.
    const auto shown = [&] { return text ? *text : formatNumberText(v); };
    switch (f.type) {
        case kShort:
            if (v != std::floor(v) || v < -32767 || v > 32767) refuse(shown(), "integer");
            encodeInt(p, 2, static_cast<std::int64_t>(v));
            return;
        case kLong:
        case kAutoIncField:
            if (v != std::floor(v) || v < -2147483647.0 || v > 2147483647.0)
                refuse(shown(), "integer");
            encodeInt(p, 4, static_cast<std::int64_t>(v));
            return;
        case kNumber:
        case kCurrency:
            if (!std::isfinite(v)) refuse(shown(), "floating point");
            encodeDouble(p, v);
            return;
        case kBcd:
            if (!encodeBcd(p, f.size, v)) refuse(shown(), "BCD");
            return;
        default:
            setAsString(shown());
    }
}

std::string ParadoxField::asString() const {
    const std::uint8_t* p = readBytes();
    if (!p || isNull()) return {};
    const FieldInfo& f = info();
    const int cp = m_owner.table().codePage();
    switch (f.type) {
        case kAlpha:
            return tableTextToEngine(
                std::string(reinterpret_cast<const char*>(p),
                            strnlen(reinterpret_cast<const char*>(p), f.bytes)),
                cp);
        case kShort:
        case kLong:
        case kAutoIncField:
            return std::to_string(decodeInt(p, f.bytes));
        case kNumber:
        case kCurrency:
            return formatNumberText(decodeDouble(p));
        case kBcd:
            return formatNumberText(decodeBcd(p, f.size));
        case kDate:
            return formatDate(decodeInt(p, 4));
        case kTime:
            return formatTime(decodeInt(p, 4));
        case kTimestamp: {
            const double ms = decodeDouble(p);
            if (!std::isfinite(ms) || std::fabs(ms) > 1e17) return formatNumberText(ms);
            const std::int64_t days = static_cast<std::int64_t>(std::floor(ms / 86400000.0));
            const std::int64_t rest = static_cast<std::int64_t>(ms - days * 86400000.0);
            return rest == 0 ? formatDate(days) : formatDate(days) + " " + formatTime(rest);
        }
        case kLogical:
            return p[0] == kLogicalTrue ? "True" : "False";
        case kMemo:
        case kFmtMemo:
            return tableTextToEngine(m_owner.table().blobData(m_owner.currentBytes(), f), cp);
        case kBlob:
        case kOle:
        case kGraphic:
            return m_owner.table().blobData(m_owner.currentBytes(), f);
        case kBytes:
            return std::string(reinterpret_cast<const char*>(p), f.bytes);
        default:
            return {};
    }
}

void ParadoxField::setAsString(const std::string& text) {
    const FieldInfo& f = info();
    const int cp = m_owner.table().codePage();
    std::uint8_t* p = writeBytes();
    switch (f.type) {
        case kAlpha: {
            const std::string stored =
                engineTextToTable(std::string_view(text).substr(0, f.bytes), cp);
            std::memset(p, 0, f.bytes);
            std::memcpy(p, stored.data(), stored.size());
            return;
        }
        case kBytes:
            std::memset(p, 0, f.bytes);
            std::memcpy(p, text.data(), std::min<std::size_t>(text.size(), f.bytes));
            return;
        case kMemo:
        case kFmtMemo:
        case kBlob:
        case kOle:
        case kGraphic: {
            std::uint8_t* rec = m_owner.pendingBytes(f.name);
            std::vector<std::uint8_t> old(rec + f.offset, rec + f.offset + f.bytes);
            const bool isText = f.type == kMemo || f.type == kFmtMemo;
            m_owner.table().setBlobData(rec, f, isText ? engineTextToTable(text, cp) : text);
            (void)old;
            return;
        }
        default:
            break;
    }
    bool blank = true;
    for (char c : text) blank = blank && static_cast<unsigned char>(c) <= ' ';
    if (blank) {
        std::memset(p, 0, f.bytes);
        return;
    }
    switch (f.type) {
        case kShort:
        case kLong:
        case kAutoIncField: {
            std::int64_t v = 0;
            if (!parseInteger(text, v)) refuse(text, "integer");
            setNumber(static_cast<double>(v), &text);
            return;
        }
        case kNumber:
        case kCurrency:
        case kBcd: {
            double v = 0;
            if (!parseNumber(text, v)) refuse(text, "floating point");
            setNumber(v, &text);
            return;
        }
        case kDate: {
            std::int64_t days = 0;
            if (!parseDate(text, days)) refuse(text, "date");
            encodeInt(p, 4, days);
            return;
        }
        case kTime: {
            std::int64_t ms = 0;
            if (!parseTime(text, ms)) refuse(text, "time");
            encodeInt(p, 4, ms);
            return;
        }
        case kTimestamp: {
            std::string t = text;
            while (!t.empty() && static_cast<unsigned char>(t.front()) <= ' ') t.erase(0, 1);
            const std::size_t space = t.find(' ');
            std::int64_t days = 0, ms = 0;
            if (!parseDate(t.substr(0, space), days)) refuse(text, "date and time");
            if (space != std::string::npos) {
                std::string rest = t.substr(space + 1);
                bool restBlank = true;
                for (char c : rest) restBlank = restBlank && static_cast<unsigned char>(c) <= ' ';
                if (!restBlank && !parseTime(rest, ms)) refuse(text, "date and time");
            }
            encodeDouble(p, static_cast<double>(days) * 86400000.0 + static_cast<double>(ms));
            return;
        }
        case kLogical: {
            if (sameText(text, "T") || sameText(text, "True"))
                p[0] = kLogicalTrue;
            else if (sameText(text, "F") || sameText(text, "False"))
                p[0] = kLogicalFalse;
            else
                refuse(text, "boolean");
            return;
        }
        default:
            refuse(text, fieldTypeName(f.type));
    }
}

std::int32_t ParadoxField::asInteger() const {
    if (isNull()) return 0;
    const FieldInfo& f = info();
    if (f.type == kAlpha || f.type == kMemo) {
        std::int64_t v = 0;
        const std::string text = asString();
        if (!parseInteger(text, v) || v < INT32_MIN || v > INT32_MAX) refuse(text, "integer");
        return static_cast<std::int32_t>(v);
    }
    const double v = std::nearbyint(number());
    if (!(v >= INT32_MIN && v <= INT32_MAX)) refuse(asString(), "integer");
    return static_cast<std::int32_t>(v);
}

void ParadoxField::setAsInteger(std::int32_t value) {
    const FieldInfo& f = info();
    if (f.type == kAlpha || f.type == kMemo || f.type == kFmtMemo) {
        setAsString(std::to_string(value));
        return;
    }
    if (f.type == kDate || f.type == kTime) {
        encodeInt(writeBytes(), 4, value);
        return;
    }
    if (f.type == kLogical) {
        writeBytes()[0] = value ? kLogicalTrue : kLogicalFalse;
        return;
    }
    const std::string text = std::to_string(value);
    setNumber(value, &text);
}

double ParadoxField::asCurrency() const {
    return number();
}

void ParadoxField::setAsCurrency(double value) {
    const FieldInfo& f = info();
    if (f.type == kAlpha || f.type == kMemo || f.type == kFmtMemo) {
        setAsString(formatNumberText(value));
        return;
    }
    setNumber(value);
}

FieldValue ParadoxField::value() const {
    if (isNull()) return std::monostate{};
    const FieldInfo& f = info();
    const std::uint8_t* p = readBytes();
    switch (f.type) {
        case kShort:
        case kLong:
        case kAutoIncField:
        case kDate:
        case kTime:
            return decodeInt(p, f.bytes);
        case kNumber:
        case kCurrency:
            return decodeDouble(p);
        case kBcd:
            return decodeBcd(p, f.size);
        case kTimestamp:
            return decodeDouble(p) / 86400000.0;
        case kLogical:
            return p[0] == kLogicalTrue;
        default:
            return asString();
    }
}

void ParadoxField::setValue(const FieldValue& v) {
    const FieldInfo& f = info();
    if (std::holds_alternative<std::monostate>(v)) {
        clear();
        return;
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        setAsString(*s);
        return;
    }
    if (const auto* b = std::get_if<bool>(&v)) {
        if (f.type == kLogical)
            writeBytes()[0] = *b ? kLogicalTrue : kLogicalFalse;
        else
            setAsInteger(*b ? 1 : 0);
        return;
    }
    double d = 0;
    if (const auto* i = std::get_if<std::int64_t>(&v))
        d = static_cast<double>(*i);
    else
        d = std::get<double>(v);
    switch (f.type) {
        case kDate:
        case kTime:
            if (!(d >= INT32_MIN && d <= INT32_MAX))
                refuse(formatNumberText(d), f.type == kDate ? "date" : "time");
            encodeInt(writeBytes(), 4, static_cast<std::int64_t>(std::floor(d)));
            return;
        case kTimestamp:
            encodeDouble(writeBytes(), d * 86400000.0);
            return;
        case kLogical:
            writeBytes()[0] = d != 0 ? kLogicalTrue : kLogicalFalse;
            return;
        case kAlpha:
        case kMemo:
        case kFmtMemo:
            setAsString(formatNumberText(d));
            return;
        default:
            setNumber(d);
    }
}

void ParadoxField::clear() {
    const FieldInfo& f = info();
    if (isBlobType(f.type)) {
        m_owner.table().setBlobData(m_owner.pendingBytes(f.name), f, std::string());
        return;
    }
    std::memset(writeBytes(), 0, f.bytes);
}

}  // namespace sivaro::px
