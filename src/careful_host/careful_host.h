#pragma once

// The careful host: what our own program adds around the component so that a copy is safe in an
// office. The component (host/, engine/, dialog/) does what it was designed to do, statement by
// statement, with no transaction of its own; a host of it decides what a run may leave behind.
// This library is that host for the program, its benchmarks and its tests. A run made through it
// guarantees, whatever the server's settings, however many clerks share the database and wherever
// the program is killed:
//
// - All or nothing: the run is one transaction, opened with its first statement and committed
//   only when it ended without a fault (a refused statement, a failure box, a failed step, a lost
//   connection, an interruption); otherwise nothing of it stays (run_guard.h).
// - No lock while a person reads a box: the component's boxes are held while the transaction is
//   open and shown once it has ended (run_guard.h).
// - One winner per number: two runs creating the same number take turns, and the second finds it
//   taken (connectors/common/transaction_control.h).
// - Marks that match the data: a per-user mark and a history entry exist exactly for each cover
//   sheet a committed run made, once the program has run again after a crash (mark_ledger.h).
// - Undo only what nobody touched: a recorded copy is taken back in one transaction only while
//   every row is as the copy wrote it and no other row refers to it; killed anywhere, the interno
//   is whole or gone, its mark and history following (undo.h).
// - Statements that no setting can change: one statement per call, standard strings on every
//   PostgreSQL session, --date-sql checked as one value (preflight.h).
// - Checks before writing: tables, columns, the source interno, writable databases (preflight.h).
// - The user's files as they were: no journal-mode change; read-only opening for the preview
//   (connection_url.h).
// - Interrupts: a signal stops the run between two statements and rolls it back (interrupts.h).
//
// Where to start:
#include "careful_host/connection_url.h"  // databases by URL
#include "careful_host/copy_session.h"    // a copy run headless, as the copy command makes it
#include "careful_host/exit_status.h"     // how a command ends
#include "careful_host/history.h"         // the copies recorded in the user's store
#include "careful_host/main_session.h"    // opening, preparing and checking a session's databases
#include "careful_host/preview.h"         // what the licence-filtered copies would keep
#include "careful_host/run_guard.h"       // the guard around any host's runs
#include "careful_host/split.h"           // both licence-filtered copies in one transaction
#include "careful_host/undo.h"            // taking a recorded copy back
