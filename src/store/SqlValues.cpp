// SQL values to and from the fields of a row.

#include "store/SqlValues.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "store/FieldCodec.h"
#include "store/ParadoxFormat.h"
#include "store/RowAccess.h"
#include "util/CodePage.h"
#include "util/Errors.h"

namespace sivaro::sql {

using namespace px;

// ---- values out -----------------------------------------------------------------------------

namespace {

std::string isoDate(std::int64_t days) {
    int y, m, d;
    civilFromDays(days, y, m, d);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string isoTime(std::int64_t ms) {
    char buf[32];
    const std::int64_t s = ms / 1000;
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    std::string out = buf;
    if (ms % 1000) {
        std::snprintf(buf, sizeof buf, ".%03d", static_cast<int>(ms % 1000));
        out += buf;
    }
    return out;
}

bool blank(const std::uint8_t* p, int n) {
    return allZero(p, n);
}

void resultText(sqlite3_context* ctx, const std::string& engineText) {
    bool ascii = true;
    for (char c : engineText) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        sqlite3_result_text(ctx, engineText.data(), static_cast<int>(engineText.size()),
                            SQLITE_TRANSIENT);
        return;
    }
    const std::string utf8 = cp1252ToUtf8(engineText);
    sqlite3_result_text(ctx, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

}  // namespace

void resultField(sqlite3_context* ctx, const PxTable& t, const std::uint8_t* rec, int i) {
    const FieldInfo& f = t.fields()[i];
    const std::uint8_t* p = rec + f.offset;
    if (isBlobType(f.type)) {
        if (blank(p + f.bytes - kBlobTail + kBlobTailLength, 4)) {
            sqlite3_result_null(ctx);
            return;
        }
        const std::string data = t.blobData(rec, f);
        if (f.type == kMemo || f.type == kFmtMemo)
            resultText(ctx, tableTextToEngine(data, t.codePage()));
        else
            sqlite3_result_blob(ctx, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        return;
    }
    if (blank(p, f.bytes)) {
        sqlite3_result_null(ctx);
        return;
    }
    switch (f.type) {
        case kAlpha: {
            const auto* text = reinterpret_cast<const char*>(p);
            resultText(ctx,
                       tableTextToEngine(std::string(text, strnlen(text, f.bytes)), t.codePage()));
            return;
        }
        case kShort:
        case kLong:
        case kAutoIncField:
            sqlite3_result_int64(ctx, decodeInt(p, f.bytes));
            return;
        case kNumber:
        case kCurrency:
            sqlite3_result_double(ctx, decodeDouble(p));
            return;
        case kBcd:
            sqlite3_result_double(ctx, decodeBcd(p, f.size));
            return;
        case kLogical:
            sqlite3_result_int(ctx, p[0] == kLogicalTrue ? 1 : 0);
            return;
        case kDate:
            resultText(ctx, isoDate(decodeInt(p, 4)));
            return;
        case kTime:
            resultText(ctx, isoTime(decodeInt(p, 4)));
            return;
        case kTimestamp: {
            const double ms = decodeDouble(p);
            if (!std::isfinite(ms) || std::fabs(ms) > 1e17) {
                sqlite3_result_double(ctx, ms);
                return;
            }
            const auto days = static_cast<std::int64_t>(std::floor(ms / 86400000.0));
            const auto rest = static_cast<std::int64_t>(std::llround(ms - days * 86400000.0));
            resultText(ctx, isoDate(days) + " " + isoTime(rest));
            return;
        }
        case kBytes:
            sqlite3_result_blob(ctx, p, f.bytes, SQLITE_TRANSIENT);
            return;
        default:
            sqlite3_result_null(ctx);
    }
}

// ---- values in ------------------------------------------------------------------------------

std::string textOf(sqlite3_value* v) {
    const auto* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v))
             : std::string();
}

namespace {

std::string bytesOf(sqlite3_value* v) {
    const void* p = sqlite3_value_blob(v);
    return p ? std::string(static_cast<const char*>(p), sqlite3_value_bytes(v)) : std::string();
}

bool digitsAt(const std::string& s, std::size_t at, std::size_t n, int& out) {
    if (at + n > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// "yyyy-mm-dd", as SQL's date functions write it.
bool parseIsoDate(const std::string& s, std::int64_t& days) {
    int y, m, d;
    if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !digitsAt(s, 0, 4, y) ||
        !digitsAt(s, 5, 2, m) || !digitsAt(s, 8, 2, d))
        return false;
    days = daysFromCivil(y, m, d);
    return days != 0;
}

// "hh:mm", "hh:mm:ss" or "hh:mm:ss.f" (up to milliseconds) from `at` to the end.
bool parseIsoTime(const std::string& s, std::size_t at, std::int64_t& ms) {
    int h, m, sec = 0, frac = 0;
    if (!digitsAt(s, at, 2, h) || s.size() < at + 5 || s[at + 2] != ':' ||
        !digitsAt(s, at + 3, 2, m))
        return false;
    std::size_t i = at + 5;
    if (i < s.size()) {
        if (s[i] != ':' || !digitsAt(s, i + 1, 2, sec)) return false;
        i += 3;
        if (i < s.size()) {
            if (s[i] != '.') return false;
            const std::size_t digits = s.size() - i - 1;
            if (digits < 1 || digits > 3 || !digitsAt(s, i + 1, digits, frac)) return false;
            for (std::size_t k = digits; k < 3; ++k) frac *= 10;
        }
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    ms = ((h * 60 + m) * 60 + sec) * 1000LL + frac;
    return true;
}

[[noreturn]] void refuse(const std::string& text, const char* kind, const FieldInfo& f) {
    throw EConvertError("'" + text + "' is not a valid " + kind + " value for field '" + f.name +
                        "'");
}

std::string shownText(sqlite3_value* v) {
    return utf8ToCp1252(textOf(v));
}

}  // namespace

// Writes an SQL value into field i of the writer's pending row, by the field's type.
void writeField(Table& w, int i, sqlite3_value* v) {
    Field& field = w.field(i);
    const FieldInfo& f = tableBehind(w).fields()[i];
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL) {
        field.clear();
        return;
    }
    switch (f.type) {
        case kAlpha:
        case kMemo:
        case kFmtMemo:
            field.setAsString(type == SQLITE_BLOB ? bytesOf(v) : shownText(v));
            return;
        case kBytes:
        case kBlob:
        case kOle:
        case kGraphic:
            field.setAsString(type == SQLITE_BLOB ? bytesOf(v) : textOf(v));
            return;
        case kShort:
        case kLong:
        case kAutoIncField:
        case kNumber:
        case kCurrency:
        case kBcd:
        case kLogical: {
            if (type == SQLITE_BLOB) refuse("(blob)", "number", f);
            const int numeric = sqlite3_value_numeric_type(v);
            if (numeric == SQLITE_INTEGER) {
                const std::int64_t n = sqlite3_value_int64(v);
                if (f.type == kLogical)
                    field.setValue(n != 0);
                else
                    field.setValue(n);
            } else if (numeric == SQLITE_FLOAT) {
                const double d = sqlite3_value_double(v);
                if (f.type == kLogical)
                    field.setValue(d != 0);
                else
                    field.setValue(d);
            } else {
                // Text SQL cannot read as a number: the field's own reading (the locale's
                // decimal separator, "T"/"F" for logical fields) decides, or refuses.
                field.setAsString(shownText(v));
            }
            return;
        }
        case kDate:
        case kTime:
        case kTimestamp: {
            const char* kind = f.type == kDate   ? "date"
                               : f.type == kTime ? "time"
                                                 : "date and time";
            if (type != SQLITE_TEXT) refuse(shownText(v), kind, f);
            const std::string s = textOf(v);
            std::uint8_t* p = pendingRecord(w) + f.offset;
            std::int64_t days = 0, ms = 0;
            if (f.type == kDate && s.size() == 10 && parseIsoDate(s, days)) {
                encodeInt(p, 4, days);
                return;
            }
            if (f.type == kTime && parseIsoTime(s, 0, ms)) {
                encodeInt(p, 4, ms);
                return;
            }
            if (f.type == kTimestamp && parseIsoDate(s, days) &&
                (s.size() == 10 || ((s[10] == ' ' || s[10] == 'T') && parseIsoTime(s, 11, ms)))) {
                encodeDouble(p, static_cast<double>(days) * 86400000.0 + static_cast<double>(ms));
                return;
            }
            field.setAsString(shownText(v));  // the locale's pattern, or the field's refusal
            return;
        }
        default:
            refuse(shownText(v), "supported", f);
    }
}

}  // namespace sivaro::sql
