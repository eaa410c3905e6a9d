#pragma once
// What pxlib, a Paradox reader written independently of ours, finds in a table: the record
// count and the records asked for, each field as text. Only where the build found pxlib.

#ifdef SIVARO_HAVE_PXLIB

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "store/FieldCodec.h"

extern "C" {
#include <paradox.h>
}

namespace sivaro::testing {

struct PxlibRead {
    int records = -1;  // -1 when pxlib could not open the table
    // By record number: integers (long, short, auto-increment) in decimal, numbers and money
    // as shortestNumber gives them, text as it is; "?" for a type read here as no text, ""
    // for NULL. A record pxlib could not read is missing.
    std::map<int, std::vector<std::string>> rows;
};

inline PxlibRead readWithPxlib(const std::string& path, const std::vector<int>& records) {
    PxlibRead read;
    pxdoc_t* doc = PX_new();
    if (PX_open_file(doc, path.c_str()) != 0) {
        PX_delete(doc);
        return read;
    }
    read.records = PX_get_num_records(doc);
    const int fields = PX_get_num_fields(doc);
    for (int r : records) {
        pxval_t** v = PX_retrieve_record(doc, r);
        if (v == nullptr) continue;
        std::vector<std::string>& row = read.rows[r];
        for (int i = 0; i < fields; ++i) {
            const pxval_t& value = *v[i];
            std::string text;
            if (value.isnull) {
                text.clear();
            } else if (value.type == pxfLong || value.type == pxfShort ||
                       value.type == pxfAutoInc) {
                text = std::to_string(value.value.lval);
            } else if (value.type == pxfNumber || value.type == pxfCurrency) {
                text = px::shortestNumber(value.value.dval);
            } else if (value.type == pxfAlpha) {
                text = value.value.str.val;
            } else {
                text = "?";
            }
            row.push_back(text);
            // The reader's values are plain heap blocks of its default allocator.
            if (value.type == pxfAlpha) std::free(value.value.str.val);
            std::free(v[i]);
        }
        std::free(v);
    }
    PX_close(doc);
    PX_delete(doc);
    return read;
}

}  // namespace sivaro::testing

#endif
