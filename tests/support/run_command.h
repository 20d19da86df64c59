// Runs the whole program on the in-memory registry and the test platform, as
// a command line would, and captures what it printed.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "output/text.h"
#include "support/memory_registry.h"
#include "support/program.h"
#include "support/test_platform.h"

struct CommandResult {
    int status = -1;
    std::wstring output;
    std::wstring errors;  // what went to standard error
};

inline CommandResult RunCommand(std::vector<std::wstring> words) {
    words.insert(words.begin(), L"Marovendel.exe");
    std::vector<wchar_t*> argv;
    for (std::wstring& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);
    const std::size_t before = test_platform::Output().size();
    const std::size_t errorsBefore = test_platform::ErrorOutput().size();
    CommandResult result;
    result.status = wmain(static_cast<int>(words.size()), argv.data());
    result.output = test_platform::Output().substr(before);
    result.errors = test_platform::ErrorOutput().substr(errorsBefore);
    return result;
}

// A fresh registry with the keys a Windows installation has, and a fresh
// test platform.
class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        registry::memory::Reset();
        test_platform::Reset();
        registry::memory::PutKey(RootKey::CurrentUser, L"Software\\RegisteredApplications");
        registry::memory::PutKey(RootKey::LocalMachine, L"Software\\RegisteredApplications");
        registry::memory::PutKey(RootKey::LocalMachine, L"Software\\Clients\\StartMenuInternet");
    }
    void TearDown() override {
        EXPECT_EQ(registry::memory::OpenKeyCount(), 0u) << "a key was left open";
        EXPECT_EQ(test_platform::OpenFileCount(), 0u) << "a file was left open";
    }
};
