#include "sim/db/transaction.h"

#include "sim/db/database.h"

namespace mto::sim {

Transaction::Transaction(Database& database) : database_(database) {
  database_.connection_.exec("BEGIN");
}

Transaction::~Transaction() {
  if (committed_) return;
  try {
    database_.connection_.exec("ROLLBACK");
  } catch (...) {  // NOLINT(bugprone-empty-catch): see the declaration
  }
}

void Transaction::commit() {
  database_.connection_.exec("COMMIT");
  committed_ = true;
}

}  // namespace mto::sim
