#include "panel/QuantityLookup.h"

#include <QLocale>

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

namespace lumaro {

std::string FormatQuantity(double value, int decimals) {
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale.toString(value, 'f', decimals >= 0 ? decimals : QLocale::FloatingPointShortest)
        .toStdString();
}

std::string FirstLine(const std::string& text) {
    const size_t end = text.find_first_of("\r\n");
    return TrimSpaces(end == std::string::npos ? text : text.substr(0, end));
}

}  // namespace lumaro
