#pragma once

// GLib reads the user's and the system's data folders, with the desktop entries and default
// applications in them, once per process, and the tests of one process share one home folder. A
// test that sets up folders and entries of its own before that first look runs in a process of its
// own, whatever else the executable is asked to run and in whatever order.
class OwnProcess {
public:
    OwnProcess() = delete;

    // Whether the calling test goes on in this process: it does when it is the only test the
    // process runs. Otherwise the test runs again as the only test of a new process of this
    // executable (with a home folder of its own), its outcome is reported here, and the caller
    // returns at once.
    static bool runsHere();
};
