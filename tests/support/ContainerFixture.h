#pragma once
// A test fixture with a bitmap container on a form, shown in a headless
// native window that injected input reaches; the session's clock, timers,
// pointer and keys start afresh for each test.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "controls/cDIBPanel.h"
#include "framework/Forms.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"

namespace tarnwick::test {

class ContainerFixture : public ::testing::Test {
protected:
    // A form of formW x formH holding the container at bounds; with a colour,
    // the container is filled with it.
    void MakeContainer(int formW, int formH, int left, int top, int width, int height,
                       const TColor* colour = nullptr) {
        platform::headless::ResetServices();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(0, 0, formW, formH);
        box = new TDIBContainer(form.get());
        box->SetBounds(left, top, width, height);
        if (colour) box->SetColor(*colour);
        box->SetParent(form.get());
    }
    // The native window, made on first use as a host's window would be.
    void OpenWindow() {
        native = platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(form->Handle()));
    }
    void TearDown() override {
        form.reset();
        platform::headless::ResetServices();
    }

    std::unique_ptr<TForm> form;
    TDIBContainer* box = nullptr;
    platform::Window* native = nullptr;
};

}  // namespace tarnwick::test
