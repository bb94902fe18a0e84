#pragma once
// What the RX/TX windows' tests share: the application object, the loop
// pumped as the program pumps it, the core and COM for the length of each
// test, and the seams through which a test answers for a person.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "LoopPump.h"
#include "RxTxAppServices.h"
#include "TestSeams.h"
#include "WinApp.h"
#include "support/CoreTestFixture.h"

// The test program's application object.
CWinApp& TestApp();

// Help topics asked for since the test began.
const std::vector<std::string>& HelpTopicsAsked();

// Core and COM started for each test; every object and block made by the
// test must be gone at its end.
class RxTxTest : public CoreTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Message boxes answered with OK; every text and type shown is kept.
class MessageBoxRecord {
public:
    MessageBoxRecord();
    ~MessageBoxRecord();
    MessageBoxRecord(const MessageBoxRecord&) = delete;
    MessageBoxRecord& operator=(const MessageBoxRecord&) = delete;

    std::vector<std::string> texts;
    std::vector<UINT> types;

private:
    MessageBoxAnswer previous_;
};

// The modal dialog's driver while the object lives.
class ModalDriverScope {
public:
    explicit ModalDriverScope(ModalDriver driver);
    ~ModalDriverScope();
    ModalDriverScope(const ModalDriverScope&) = delete;
    ModalDriverScope& operator=(const ModalDriverScope&) = delete;

private:
    ModalDriver previous_;
};
