// The ports' plugs told apart and settled, from one listing to the next, on virtual times; and
// the ports watched as they come, on a virtual clock with a watch and ports of the test's own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/VirtualClock.h"
#include "serial/PortArrivals.h"
#include "serial/PortPlugs.h"

namespace {

using Kind = serial::PortPlugs::Event::Kind;
using serial::PortInfo;

PortInfo Port(const std::string& name, const std::string& instance = "1") {
    PortInfo p;
    p.name = name;
    p.instance = instance;
    return p;
}

// "plugged COM3 #1" per event.
std::vector<std::string> Told(const std::vector<serial::PortPlugs::Event>& events) {
    std::vector<std::string> told;
    for (const auto& e : events) {
        const char* kind = e.kind == Kind::kPlugged   ? "plugged"
                           : e.kind == Kind::kSettled ? "settled"
                                                      : "unplugged";
        told.push_back(std::string(kind) + " " + e.port.name + " #" + std::to_string(e.plug));
    }
    return told;
}

using Lines = std::vector<std::string>;

TEST(PortPlugs, PortsThereAtTheStartAreSettledAtOnceLaterOnesAfterTheirMoment) {
    serial::PortPlugs plugs(1000);
    EXPECT_EQ(Told(plugs.update({Port("COM1"), Port("COM2")}, 5000)),
              (Lines{"plugged COM1 #1", "settled COM1 #1", "plugged COM2 #2", "settled COM2 #2"}));
    std::uint32_t ms = 0;
    EXPECT_FALSE(plugs.untilNextSettle(5000, &ms));
    EXPECT_EQ(Told(plugs.update({Port("COM1"), Port("COM2"), Port("COM3")}, 6000)),
              (Lines{"plugged COM3 #3"}));
    ASSERT_TRUE(plugs.untilNextSettle(6400, &ms));
    EXPECT_EQ(ms, 600u);
    EXPECT_EQ(Told(plugs.update({Port("COM1"), Port("COM2"), Port("COM3")}, 6999)), Lines{});
    EXPECT_EQ(Told(plugs.update({Port("COM1"), Port("COM2"), Port("COM3")}, 7000)),
              (Lines{"settled COM3 #3"}));
    EXPECT_EQ(Told(plugs.update({Port("COM1"), Port("COM2"), Port("COM3")}, 90000)), Lines{})
        << "a plug settles once";
}

TEST(PortPlugs, APortGoneOrThereAsAnotherInstanceIsAnewPlugWithItsOwnMoment) {
    serial::PortPlugs plugs(500);
    plugs.update({Port("/dev/ttyUSB0", "a")}, 0);
    EXPECT_EQ(Told(plugs.update({}, 100)), (Lines{"unplugged /dev/ttyUSB0 #1"}));
    EXPECT_EQ(Told(plugs.update({Port("/dev/ttyUSB0", "b")}, 200)),
              (Lines{"plugged /dev/ttyUSB0 #2"}));
    // Unplugged and plugged in again between two listings: the instance tells.
    EXPECT_EQ(Told(plugs.update({Port("/dev/ttyUSB0", "c")}, 400)),
              (Lines{"unplugged /dev/ttyUSB0 #2", "plugged /dev/ttyUSB0 #3"}));
    EXPECT_EQ(Told(plugs.update({Port("/dev/ttyUSB0", "c")}, 899)), Lines{})
        << "the plug that went before settling never settles, and the new one waits its moment";
    EXPECT_EQ(Told(plugs.update({Port("/dev/ttyUSB0", "c")}, 900)),
              (Lines{"settled /dev/ttyUSB0 #3"}));
    // What the system says of a port may grow while it stays: the same plug.
    PortInfo described = Port("/dev/ttyUSB0", "c");
    described.alias = "/dev/serial/by-id/usb-x";
    EXPECT_EQ(Told(plugs.update({described}, 1000)), Lines{});
}

TEST(PortPlugs, ANameListedTwiceIsOnePortAndTheMomentSurvivesTheTickCountersWrap) {
    serial::PortPlugs plugs(1000);
    plugs.update({}, 0xFFFFFE00u);
    EXPECT_EQ(Told(plugs.update({Port("COM4"), Port("COM4")}, 0xFFFFFF00u)),
              (Lines{"plugged COM4 #1"}));
    EXPECT_EQ(Told(plugs.update({Port("COM4")}, 0x00000100u)), Lines{});
    EXPECT_EQ(Told(plugs.update({Port("COM4")}, 0x00000300u)), (Lines{"settled COM4 #1"}));
}

// Ports whose listing the test sets, and a watch that tells what the test says, both on the
// virtual clock.
class TestPorts : public serial::Ports {
public:
    class Watch : public serial::PortWatch {
    public:
        Watch(TestPorts& ports, base::Clock& clock) : m_ports(ports), m_clock(clock) {}
        bool wait(std::uint32_t limitMs) override {
            m_ports.waits.push_back(limitMs);
            if (m_ports.changed) {
                m_ports.changed = false;
                return true;
            }
            m_clock.sleep(limitMs);
            return false;
        }
        std::string fallback() const override { return ""; }

    private:
        TestPorts& m_ports;
        base::Clock& m_clock;
    };

    std::vector<PortInfo> list() override {
        lists++;
        return listing;
    }
    bool canonicalName(const std::string& text, std::string* name, std::string*) override {
        *name = text;
        return true;
    }
    std::string identity(const std::string& name) override { return name; }
    bool present(const std::string&) override { return true; }
    std::string describe(const std::string&) override { return ""; }
    std::unique_ptr<serial::Line> line(const std::string&) override { return nullptr; }
    std::string openAdvice(const std::string&, const base::SystemError&) override { return ""; }
    std::unique_ptr<serial::PortWatch> watch(base::Clock& clock) override {
        watches++;
        listsBeforeWatch = lists;
        return std::make_unique<Watch>(*this, clock);
    }

    std::vector<PortInfo> listing;
    bool changed = false;
    int lists = 0;
    int watches = 0;
    int listsBeforeWatch = -1;
    std::vector<std::uint32_t> waits;
};

TEST(PortArrivals, TheWatchBeginsBeforeTheFirstListingAndOnlyAChangeListsAgain) {
    base::VirtualClock clock(1000, 0);
    TestPorts ports;
    ports.listing = {Port("/dev/ttyUSB0"), Port("/dev/ttyACM0")};
    PortInfo ftdi = Port("/dev/ttyUSB0");
    ftdi.vendorId = "0403";
    ports.listing[0] = ftdi;
    serial::PortFilter usbOnly;
    std::string error;
    ASSERT_TRUE(serial::PortFilter::Parse("vid=0403", &usbOnly, &error)) << error;
    serial::PortArrivals arrivals(ports, {usbOnly}, clock, 1000);
    EXPECT_EQ(Told(arrivals.start()), (Lines{"plugged /dev/ttyUSB0 #1", "settled /dev/ttyUSB0 #1"}))
        << "the filter keeps the other port out";
    EXPECT_EQ(ports.listsBeforeWatch, 0);
    EXPECT_EQ(ports.lists, 1);

    // Nothing changes: the whole limit is waited, and the ports are not listed again.
    EXPECT_EQ(Told(arrivals.next(500)), Lines{});
    EXPECT_EQ(ports.lists, 1);
    EXPECT_EQ(ports.waits.back(), 500u);

    // A port comes: listed at once; its moment to settle bounds the next wait.
    PortInfo second = Port("/dev/ttyUSB1");
    second.vendorId = "0403";
    ports.listing.push_back(second);
    ports.changed = true;
    EXPECT_EQ(Told(arrivals.next(500)), (Lines{"plugged /dev/ttyUSB1 #2"}));
    EXPECT_EQ(ports.lists, 2);
    clock.advance(700);
    EXPECT_EQ(Told(arrivals.next(500)), (Lines{"settled /dev/ttyUSB1 #2"}));
    EXPECT_EQ(ports.waits.back(), 300u) << "the wait ends when the port has settled";
    EXPECT_EQ(ports.lists, 2);
    EXPECT_EQ(arrivals.fallback(), "");
}

} // namespace
