// TestXLOPER's description of a value record.
#include "addin/diagnostics.h"
#include "quar1432.h"

#include <cstdio>

const char* DescribeXloper(XLOPER* x, char* out, size_t n) {
    if (x == nullptr) {
        std::snprintf(out, n, "???");
        return out;
    }
    switch (x->xltype) {
    case xltypeNum:
        std::snprintf(out, n, "Num %lf", x->val.num);
        break;
    case xltypeStr: {
        const unsigned char* s = x->val.str;
        int count = s != nullptr ? s[0] : 0;
        const char* chars = s != nullptr ? reinterpret_cast<const char*>(s + 1) : "";
        std::snprintf(out, n, "Str %1.*s", count, chars);
        break;
    }
    case xltypeBool:
        std::snprintf(out, n, "Bool %d", int(x->val.xbool));
        break;
    case xltypeRef:
        std::snprintf(out, n, "Ref");
        break;
    case xltypeErr:
        std::snprintf(out, n, "Err %d", int(x->val.err));
        break;
    case xltypeFlow:
        std::snprintf(out, n, "Flow");
        break;
    case xltypeMulti:
        std::snprintf(out, n, "Multi %dR, %dC", int(x->val.array.rows), int(x->val.array.columns));
        break;
    case xltypeMissing:
        std::snprintf(out, n, "Missing");
        break;
    case xltypeNil:
        std::snprintf(out, n, "Nil");
        break;
    case xltypeSRef:
        std::snprintf(out, n, "SRef R%dC%d:R%dC%d", int(x->val.sref.ref.rwFirst),
                      int(x->val.sref.ref.colFirst), int(x->val.sref.ref.rwLast),
                      int(x->val.sref.ref.colLast));
        break;
    case xltypeInt:
        std::snprintf(out, n, "Int %d", int(x->val.w));
        break;
    default:
        std::snprintf(out, n, "???");
        break;
    }
    return out;
}
