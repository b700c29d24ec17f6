#include "panel/QuantityLookup.h"

#include "ado/Ado.h"
#include "common/RuntimeError.h"
#include "common/TextUtil.h"
#include "globals/Globals.h"

namespace lumaro {

namespace {

// One argument as the statement receives it (see QuantityStatement).
std::string StatementLiteral(const std::string& text) {
    const std::string expanded = ExpandEscapes(text);
    if (expanded.find('\\') != std::string::npos)
        throw RuntimeError::Standard(kErrInvalidProcedureCall, "QuantityStatement");
    return QuoteSQL(expanded);
}

}  // namespace

std::string QuantityStatement(const std::string& query, const std::string& itemNumber,
                              const std::string& location) {
    return FormatString(
        query, {Variant(StatementLiteral(itemNumber)), Variant(StatementLiteral(location))});
}

std::string GetFieldText(const ado::Recordset& recordset, const std::string& columnName) {
    try {
        return recordset.Fields(columnName).Value().ToString();
    } catch (...) {
        return "0";
    }
}

}  // namespace lumaro
