#include "engine/agent_engine.h"

namespace zentrada::engine {

void SharedState::RequestStop() {
    stopRequested = true;
    agentRunning = false;
}

void SharedState::SetDirectories(std::string input, std::string output) {
    std::lock_guard lock(mutex_);
    inputDirectory_ = std::move(input);
    outputDirectory_ = std::move(output);
}

std::string SharedState::InputDirectory() const {
    std::lock_guard lock(mutex_);
    return inputDirectory_;
}

std::string SharedState::OutputDirectory() const {
    std::lock_guard lock(mutex_);
    return outputDirectory_;
}

void SharedState::RememberUndeletedFile(const FileIdentity& file) {
    std::lock_guard lock(mutex_);
    undeletedFiles_.insert(file);
}

bool SharedState::IsUndeletedFile(const FileIdentity& file) const {
    std::lock_guard lock(mutex_);
    return undeletedFiles_.count(file) != 0;
}

}  // namespace zentrada::engine
