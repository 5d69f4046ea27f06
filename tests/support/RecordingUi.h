// A headless user interface whose controls of one kind (Control) get a peer that records what
// their native control is told, in order; every other control gets the simulation's own peer.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/sim/SimMachine.h"
#include "platform/sim/SimUi.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell::testing {

class RecordingPeer : public IPeer {
public:
    void Changed(Change what, int index) override { changes.emplace_back(what, index); }
    std::vector<std::pair<Change, int>> changes;
};

template <class Control>
class RecordingUi : public sim::SimUi {
public:
    using SimUi::SimUi;
    std::unique_ptr<IPeer> CreatePeer(TControl& control) override {
        if (dynamic_cast<Control*>(&control)) {
            auto peer = std::make_unique<RecordingPeer>();
            recorder = peer.get();
            return peer;
        }
        return SimUi::CreatePeer(control);
    }
    // The peer of the last control of that kind made.
    RecordingPeer* recorder = nullptr;
};

// A form on a recording user interface: add the control to `form`, then Realise() it.
template <class Control>
struct RecordingForm {
    sim::SimMachine machine;
    RecordingUi<Control> ui{machine};
    TApplication app{ui};
    TForm form{app};
};

}  // namespace taskwell::testing
