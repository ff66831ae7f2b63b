// setup's move to an elevated copy of itself, played by elevation_probe.exe
// (the start-up checks and the elevation step of the entry point, with the
// process's elevation set through the environment).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/system/win32/unique_handle.h"
#include "tools/automation/win32/process.h"
#include "tools/automation/win32/scratch.h"

namespace {

const DWORD kWait = 30000;

struct ProbeReport {
    std::string checks, here, arguments, folder;
};

// The reports in `folder` by process id (UTF-8); a report still being
// written is left out.
std::map<DWORD, ProbeReport> Reports(const std::wstring& folder) {
    std::map<DWORD, ProbeReport> reports;
    for (const std::wstring& name : FolderEntries(folder)) {
        std::string text;
        if (!ReadFileBytes(folder + L"\\" + name, &text)) continue;
        std::string fields[4];
        std::size_t start = 0;
        for (int i = 0; i < 3; ++i) {
            std::size_t bar = text.find('|', start);
            if (bar == std::string::npos) return {};
            fields[i] = text.substr(start, bar - start);
            start = bar + 1;
        }
        fields[3] = text.substr(start);
        reports[std::stoul(name)] = {fields[0], fields[1], fields[2], fields[3]};
    }
    return reports;
}

// Sets environment variables of this process (and so of the processes it
// starts) for its lifetime.
class ScopedVariables {
public:
    explicit ScopedVariables(const std::vector<const char*>& names) : names_(names) {
        for (const char* name : names_) SetEnvironmentVariableA(name, "1");
    }
    ~ScopedVariables() {
        for (const char* name : names_) SetEnvironmentVariableA(name, nullptr);
    }

private:
    std::vector<const char*> names_;
};

class ElevationHandOver : public testing::Test {
protected:
    // Starts a probe reporting into `reports` with `variables` set and
    // returns its exit code; it must end within the bound.
    DWORD RunProbe(const ScratchDir& reports, const std::vector<const char*>& variables,
                   const wchar_t* extra = L"") {
        std::wstring line = L"\"" + TestProgramPath(L"elevation_probe.exe") + L"\" \"" +
                            reports.path() + L"\" " + extra;
        ChildProcess probe;
        {
            ScopedVariables set(variables);
            if (!probe.Start(line, work_.path())) return 1000;
        }
        DWORD code = 1001;
        probe.Wait(kWait, &code);
        lastId_ = probe.Id();
        return code;
    }

    ScratchDir reports_;
    ScratchDir work_;
    DWORD lastId_ = 0;
};

TEST_F(ElevationHandOver, TheElevatedCopyTakesTheInstanceOverAndTheParentEnds) {
    unique_handle release(CreateEventW(nullptr, TRUE, FALSE, L"SetupElevationProbeRelease"));
    ASSERT_TRUE(release);
    EXPECT_EQ(RunProbe(reports_, {"SETUP_PROBE_LIMITED"}, L"hold x"), 10u);
    DWORD parentId = lastId_;

    std::map<DWORD, ProbeReport> reports;
    ASSERT_TRUE(WaitUntil([&] { return (reports = Reports(reports_.path())).size() == 2; }, kWait));
    ASSERT_EQ(reports.count(parentId), 1u);
    const ProbeReport parent = reports[parentId];
    reports.erase(parentId);
    const DWORD copyId = reports.begin()->first;
    const ProbeReport copy = reports.begin()->second;
    EXPECT_EQ(parent.checks + parent.here, "10");
    // The copy passed the single-instance check although its parent held the
    // mutex when the copy started, and it installs.
    EXPECT_EQ(copy.checks + copy.here, "11");
    EXPECT_EQ(copy.arguments, parent.arguments);
    EXPECT_EQ(parent.arguments, "\"" + Utf8(reports_.path()) + "\" hold x");
    EXPECT_EQ(copy.folder, parent.folder);

    // While the copy runs, a further start is a second instance.
    unique_handle copyProcess(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, copyId));
    ASSERT_TRUE(copyProcess);
    EXPECT_EQ(RunProbe(reports_, {}), 10u);
    EXPECT_EQ(Reports(reports_.path())[lastId_].checks, "0");

    SetEvent(release.get());
    ASSERT_EQ(WaitForSingleObject(copyProcess.get(), kWait), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(copyProcess.get(), &code);
    EXPECT_EQ(code, 11u);
}

TEST_F(ElevationHandOver, WithoutAnElevatedCopyTheParentDecides) {
    struct Case {
        const char* playedBy;
        std::vector<const char*> variables;
        DWORD parentExit;    // 10: ends, 11: installs itself
        std::size_t copies;  // reports besides the parent's
    };
    const Case cases[] = {
        // The user says No: setup ends quietly, as on Cancel.
        {"declined", {"SETUP_PROBE_LIMITED", "SETUP_PROBE_DECLINE"}, 10, 0},
        // "runas" started a copy without elevation (no UAC): the copy stays a
        // second instance and ends, the parent installs as the user. No copy
        // restarts itself again.
        {"not elevated", {"SETUP_PROBE_LIMITED", "SETUP_PROBE_STAYS_LIMITED"}, 11, 1},
    };
    for (const Case& c : cases) {
        ScratchDir reports;
        EXPECT_EQ(RunProbe(reports, c.variables), c.parentExit) << c.playedBy;
        std::map<DWORD, ProbeReport> found = Reports(reports.path());
        ASSERT_EQ(found.count(lastId_), 1u) << c.playedBy;
        EXPECT_EQ(found[lastId_].checks, "1") << c.playedBy;
        found.erase(lastId_);
        EXPECT_EQ(found.size(), c.copies) << c.playedBy;
        for (const auto& copy : found) EXPECT_EQ(copy.second.checks, "0") << c.playedBy;
        // The instance was let go at the end: the next start is the first.
        EXPECT_EQ(RunProbe(reports, {}), 11u) << c.playedBy;
    }
}

}  // namespace
