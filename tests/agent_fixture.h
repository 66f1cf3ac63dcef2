// Runs the real worker against the virtual printer's library over real
// temporary directories, one cycle at a time.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/agent_engine.h"
#include "engine/worker.h"
#include "test_files.h"

namespace zentrada::testing {

class AgentFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(in());
        fs::create_directories(out());
        SetEnvironment("TORVA_TRACE", root / "trace.txt");
        // The recording library alone: every call succeeds unless scripted.
        SetEnvironment("TORVA_MODE", "recorder");
        SetEnvironment("TORVA_SCRIPT", root / "script.txt");
        environment.logPath = root / "Zentrada_log.txt";
        environment.journalPath = root / "Zentrada_em_execucao.txt";
        environment.undeletedFilesPath = root / "Zentrada_nao_apagados.txt";
        environment.driverLibrary = PrinterLibrary();
        environment.readDriverLogSetting = [this] { return driverLogSetting; };
        environment.showError = [this](std::string_view title, std::string_view text) {
            errors.push_back(std::string(title) + "|" + std::string(text));
        };
        environment.startPause = std::chrono::milliseconds(0);
        environment.idlePause = std::chrono::milliseconds(1);
        shared.SetDirectories(in().string(), out().string());
    }
    void TearDown() override {
        SetEnvironment("TORVA_TRACE", "");
        SetEnvironment("TORVA_SCRIPT", "");
    }

    fs::path in() const { return root.Path() / "in"; }
    fs::path out() const { return root.Path() / "out"; }

    void Script(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        WriteBytes(root / "script.txt", text);
    }
    std::vector<std::string> Trace() const {
        std::vector<std::string> lines;
        std::string text = ReadBytes(root / "trace.txt");
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }
    void ClearTrace() { fs::remove(root / "trace.txt"); }
    std::string Log() const { return ReadBytes(root / "Zentrada_log.txt"); }

    // A started worker, with the trace of its start cleared.
    engine::Worker& StartWorker() {
        worker = std::make_unique<engine::Worker>(shared, environment);
        EXPECT_FALSE(worker->Start().has_value());
        ClearTrace();
        return *worker;
    }

    // Drops a command file (lines joined with CR LF) and runs one cycle.
    void Drop(const std::string& name, const std::vector<std::string>& lines) { WriteBytes(in() / name, CrLf(lines)); }
    bool Cycle() { return worker->RunCycle(); }
    // A file whose response name is taken waits for the clock's next second.
    bool CycleUntilTaken() {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (std::chrono::steady_clock::now() < give_up)
            if (Cycle()) return true;
        return false;
    }

    // The bytes of the single response file whose name starts with `prefix`.
    std::string Response(const std::string& prefix) const {
        const auto names = FilesLike(out(), prefix, ".fpo");
        EXPECT_EQ(names.size(), 1u) << prefix;
        return names.empty() ? std::string() : ReadBytes(out() / names.front());
    }

    // Runs one command file and returns its response.
    std::string Run(const std::vector<std::string>& lines) {
        Drop("VENDA.FPI", lines);
        EXPECT_TRUE(Cycle());
        EXPECT_FALSE(fs::exists(in() / "VENDA.FPI"));
        std::string response = Response("VENDA_");
        for (const auto& name : FilesLike(out(), "VENDA_", ".fpo")) fs::remove(out() / name);
        return response;
    }

    TempDir root;
    engine::SharedState shared;
    engine::AgentEnvironment environment;
    std::int32_t driverLogSetting = 0;
    std::vector<std::string> errors;
    std::unique_ptr<engine::Worker> worker;
};

}  // namespace zentrada::testing
