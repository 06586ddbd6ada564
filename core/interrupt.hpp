#pragma once

// Interrupts from the keyboard (SIGINT) or from another process (SIGTERM). The first one is only
// noted: the run finishes the object at hand and ends through its normal exit (settings files
// written, lock released, command log appended) with "Interrupted." and exit status 1. A second
// one ends the process at once, as a kill does.
namespace RepositoryAccess::interrupt {

// Installs the handlers for SIGINT and SIGTERM.
void install();

// True once an interrupt has been noted.
bool requested();

// Fails with "Interrupted." once an interrupt has been noted; the places between two objects of
// a run call it.
void check();

// Forgets a noted interrupt. For tests.
void reset();

} // namespace RepositoryAccess::interrupt
