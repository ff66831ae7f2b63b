#include "framework/app/win32/app_instance.h"

#include "framework/app/win32/thread_registry.h"
#include "framework/graphics/alpha_tables.h"
#include "framework/system/win32/owner_window.h"

CAppInstance* CurrentInstance = nullptr;

namespace {

bool g_firstInstance = true;

HWND OwnerFromRegistry() { return TheThreadRegistry.GetHwnd(); }

}  // namespace

CAppInstance::CAppInstance(HINSTANCE instance, HINSTANCE prevInstance, char* cmdLine,
                           int cmdShow)
    : hInstance(instance), hPrevInstance(prevInstance), lpCmdLine(cmdLine), nCmdShow(cmdShow) {
    CurrentInstance = this;
    if (g_firstInstance) {
        g_firstInstance = false;
        BuildAlphaProductTables();
        SetOwnerWindowLookup(&OwnerFromRegistry);
    }
}
