#pragma once
// A control that records every message reaching its own handlers, in order,
// and may answer one message number itself instead of handling it.

#include <cstdint>
#include <optional>
#include <vector>

#include "framework/Controls.h"

namespace tarnwick::test {

class TRecordingControl : public TControl {
public:
    using TControl::TControl;

    struct Reply {
        std::uint32_t Msg;
        std::int32_t Result;
    };
    std::vector<TMessage> Received;
    std::optional<Reply> Answer;  // this message gets this result and goes no further

protected:
    void Dispatch(TMessage& Message) override {
        Received.push_back(Message);
        if (Answer && Message.Msg == Answer->Msg)
            Message.Result = Answer->Result;
        else
            TControl::Dispatch(Message);
    }
};

}  // namespace tarnwick::test
