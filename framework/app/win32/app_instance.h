// The process instance record: the entry point's four arguments, kept for
// the whole framework.
#pragma once

#include <windows.h>

class CAppInstanceBase {
public:
    virtual ~CAppInstanceBase() = default;
};

class CAppInstance : public CAppInstanceBase {
public:
    // The first construction in the process also builds the alpha product
    // tables and installs the owner-window lookup of the system services.
    // Becomes CurrentInstance.
    CAppInstance(HINSTANCE instance, HINSTANCE prevInstance, char* cmdLine, int cmdShow);

    CAppInstance(const CAppInstance&) = delete;
    CAppInstance& operator=(const CAppInstance&) = delete;

    HINSTANCE hInstance;
    HINSTANCE hPrevInstance;  // stored, not used
    char* lpCmdLine;          // stored, not used
    int nCmdShow;             // used when the main window is first shown
};

// The most recently constructed instance record; not cleared by its
// destructor.
extern CAppInstance* CurrentInstance;
