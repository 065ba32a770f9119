#pragma once
// The history store's schema, as an ordered list of steps. The database's
// user_version says how many have been applied; opening applies the rest in
// one transaction. To add tables, append one step to the list in
// HistoryMigrations.cpp: never change or reorder a step that has shipped.
#include <string_view>
#include <vector>

namespace tolvan {

struct HistoryMigration {
    std::string_view what;  // for the error message when a step fails
    std::string_view sql;   // one or more statements
};

const std::vector<HistoryMigration>& historyMigrations();

}  // namespace tolvan
