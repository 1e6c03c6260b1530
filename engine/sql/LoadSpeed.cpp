#include "engine/sql/LoadSpeed.h"

namespace quarrow {

bool loadsSlowly(const ScriptOptions& options, std::uint64_t rows) noexcept
{
    if (options.dialect == Dialect::Access || options.dialect == Dialect::Oracle || rows <= kSlowLoadRows)
        return false;
    const bool copyRows = options.copy && options.dialect == Dialect::PostgreSql;
    return !options.transaction && !options.multiRow && !copyRows;
}

} // namespace quarrow
