#pragma once
// The recorder-control program's one link to the recorder. The main window creates it at start-up and
// publishes it here; every window and worker thread reaches the recorder through it. Only one user at a
// time: the windows keep the others out while a worker holds the link.
namespace recorder {

class UnitLink;

// The link of the program, or nullptr before the main window has created it.
extern UnitLink* Link;

}  // namespace recorder
