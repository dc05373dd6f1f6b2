// The firmware's decoding of vendor requests, seen from the device side.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim/sim_board.h"
#include "sim_host.h"

namespace quillon::sim {
namespace {

using test::RawHost;

TEST(SimFirmware, RegisterPackingAtTheEdgesOfTheAddressSpace) {
    SimBoard board;
    RawHost host{board};
    // 0x3FFF at 64bit: wValue 0xFFFF, read wIndex 0x3FC0, eight bytes.
    EXPECT_EQ(RawHost::RegValue(0x3FFF, 0xC0), 0xFFFF);
    ASSERT_TRUE(host.RegWrite(0x3FFF, 0xC0, 0x1122334455667788ull));
    EXPECT_EQ(board.Register(0x3FFF), 0x1122334455667788ull);
    EXPECT_EQ(host.RegRead(0x3FFF, 0xC0), 0x1122334455667788ull);
    // 0x40 at 16bit: wValue 0x0140 lands on register 0x40, not 0x00 or 0x01.
    ASSERT_TRUE(host.Out(0xB0, 0x0140, 0, {0x34, 0x12}).ok());
    EXPECT_EQ(board.Register(0x40), 0x1234u);
    EXPECT_EQ(board.Register(0x00), 0u);
    EXPECT_EQ(board.Register(0x01), 0u);
    EXPECT_EQ(host.InBytes(0xB0, 0x0140, 0x0040, 2), (std::vector<std::uint8_t>{0x34, 0x12}));
}

TEST(SimFirmware, NarrowWritesChangeOnlyTheirBytes) {
    SimBoard board;
    RawHost host{board};
    ASSERT_TRUE(host.RegWrite(7, 0xC0, 0x1122334455667788ull));
    ASSERT_TRUE(host.RegWrite(7, 0x40, 0xAABB));
    EXPECT_EQ(board.Register(7), 0x112233445566AABBull);
    ASSERT_TRUE(host.RegWrite(7, 0x00, 0xCC));
    EXPECT_EQ(board.Register(7), 0x112233445566AACCull);
    ASSERT_TRUE(host.RegWrite(7, 0x80, 0xDEADBEEF));
    EXPECT_EQ(board.Register(7), 0x11223344DEADBEEFull);
    // Reads return only the width asked for.
    EXPECT_EQ(host.RegRead(7, 0x00), 0xEFu);
    EXPECT_EQ(host.RegRead(7, 0x40), 0xBEEFu);
    EXPECT_EQ(host.RegRead(7, 0x80), 0xDEADBEEFu);
}

TEST(SimFirmware, SetupFieldsThatDisagreeWithTheLayoutStall) {
    SimBoard board;
    RawHost host{board};
    // Register read whose wIndex lacks the address bits 13..6.
    EXPECT_EQ(host.In(0xB0, RawHost::RegValue(0x40, 0x40), 0, 2).error, link::UsbError::Stall);
    // Register write with a data stage that does not match the width.
    EXPECT_EQ(host.Out(0xB0, RawHost::RegValue(5, 0x80), 0, {1, 2}).error, link::UsbError::Stall);
    // Wrong direction: board info is IN only, configuration mode OUT only.
    EXPECT_EQ(host.Out(0xB3, 0xC0, 0, {0, 0}).error, link::UsbError::Stall);
    EXPECT_EQ(host.In(0xB2, 0, 0, 1).error, link::UsbError::Stall);
    // Unknown request codes, unknown board-info items, unknown ports.
    EXPECT_EQ(host.In(0xD0, 0, 0, 1).error, link::UsbError::Stall);
    EXPECT_EQ(host.In(0xB3, 0x01, 0, 2).error, link::UsbError::Stall);
    EXPECT_EQ(host.In(0xB6, 3, 0, 1).error, link::UsbError::Stall);
    EXPECT_EQ(host.Out(0xB7, 2, 5).error, link::UsbError::Stall);
    // A stalled request changed nothing.
    EXPECT_EQ(board.Register(5), 0u);
}

TEST(SimFirmware, BoardInformationFollowsTheProfile) {
    Profile p;
    p.firmwareVersion = 0x0123;
    p.productId = 0x6311;
    p.chipRevision = 0x0004;
    p.linkSpeed = LinkSpeed::Usb2;
    SimBoard board(p);
    RawHost host{board};
    EXPECT_EQ(host.InBytes(0xB3, 0xC0, 0, 2), (std::vector<std::uint8_t>{0x23, 0x01}));
    EXPECT_EQ(host.InBytes(0xB3, 0x40, 0, 2), (std::vector<std::uint8_t>{0x11, 0x63}));
    EXPECT_EQ(host.InBytes(0xB3, 0x80, 0, 2), (std::vector<std::uint8_t>{0x04, 0x00}));
    EXPECT_EQ(host.InBytes(0xB3, 0x00, 0, 2), (std::vector<std::uint8_t>{0x01, 0x00}));

    Profile q;
    q.speedCode = 0x80;
    SimBoard other(q);
    RawHost host2{other};
    EXPECT_EQ(host2.InBytes(0xB3, 0x00, 0, 2), (std::vector<std::uint8_t>{0x80, 0x00}));
}

TEST(SimFirmware, GpioPinsReadTheLatchWhenDrivenAndTheOutsideOtherwise) {
    Profile p;
    p.gpioInput[2] = 0x3C;
    SimBoard board(p);
    RawHost host{board};
    ASSERT_TRUE(host.Out(0xB5, 2, 0xA5).ok());  // port E latch
    EXPECT_EQ(host.InBytes(0xB6, 2, 0, 1), std::vector<std::uint8_t>{0x3C});
    ASSERT_TRUE(host.Out(0xB4, 2, 1).ok());  // port E out
    EXPECT_EQ(host.InBytes(0xB6, 2, 0, 1), std::vector<std::uint8_t>{0xA5});
    // Ports are independent: A and C still read their inputs.
    board.SetGpioInput(1, 0x5A);
    EXPECT_EQ(host.InBytes(0xB6, 1, 0, 1), std::vector<std::uint8_t>{0x5A});
    EXPECT_EQ(board.Gpio(2).direction, 1);
    EXPECT_EQ(board.Gpio(0).latch, 0);
}

TEST(SimFirmware, I2cByteRequestsReachTheEepromOfTheirPort) {
    SimBoard board;
    RawHost host{board};
    // VR_I2C1_WRITE: an IN request whose setup carries the data.
    EXPECT_EQ(host.InBytes(0xC0, 0xA0, 0x55 << 8 | 0x10, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(board.Eeprom(0)[0x10], 0x55);
    EXPECT_EQ(board.Eeprom(1)[0x10], 0xFF);  // the other port's part is untouched
    EXPECT_EQ(host.InBytes(0xC1, 0xA0, 0x10, 2), (std::vector<std::uint8_t>{1, 0x55}));
    // Second port.
    EXPECT_EQ(host.InBytes(0xC3, 0xA0, 0x77 << 8 | 0x10, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(host.InBytes(0xC4, 0xA0, 0x10, 2), (std::vector<std::uint8_t>{1, 0x77}));
    // No device at 0xA2: status 0, and the transfer itself still succeeds.
    auto r = host.In(0xC1, 0xA2, 0x10, 2);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(host.InBytes(0xC1, 0xA2, 0x10, 2)[0], 0);
    EXPECT_EQ(host.InBytes(0xC0, 0xA2, 0x1234, 1), std::vector<std::uint8_t>{0});
}

TEST(SimFirmware, I2cStatusZeroFaultRefusesTheBusAndWritesNothing) {
    SimBoard board;
    RawHost host{board};
    Faults f;
    f.i2cStatusZero = true;
    board.SetFaults(f);
    EXPECT_EQ(host.InBytes(0xC0, 0xA0, 0x42 << 8 | 0x01, 1), std::vector<std::uint8_t>{0});
    EXPECT_EQ(board.Eeprom(0)[0x01], 0xFF);
    EXPECT_EQ(host.InBytes(0xE0, 0xC040, 0x8000, 1), std::vector<std::uint8_t>{0});
    EXPECT_EQ(board.Dac(0).writes, 0u);
}

TEST(SimFirmware, I2cxCommandRequestsInBothHeaderLengths) {
    SimBoard board;
    RawHost host{board};
    // 3-byte write: A0, word address, data; one spare byte after the header.
    ASSERT_TRUE(host.Out(0xC5, 0 << 10 | 3, 1, {0xA0, 0x20, 0x99, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC5, 0, 0, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(board.Eeprom(0)[0x20], 0x99);
    EXPECT_EQ(board.Eeprom(0)[0x21], 0xFF);  // the spare byte is not written

    // 4-byte read on port 1 of word address 0x1234 (the 256-byte part uses 0x34).
    board.SetEeprom(1, std::vector<std::uint8_t>{0x6B}, 0x34);
    ASSERT_TRUE(host.Out(0xC6, 1 << 10 | 4, 1, {0xA0, 0x12, 0x34, 0xA1, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC6, 0, 0, 2), (std::vector<std::uint8_t>{1, 0x6B}));

    // 4-byte write on port 0.
    ASSERT_TRUE(host.Out(0xC5, 0 << 10 | 4, 1, {0xA0, 0x00, 0x40, 0x3E, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC5, 0, 0, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(board.Eeprom(0)[0x40], 0x3E);

    // A read whose last header byte is not the read address: status 0.
    ASSERT_TRUE(host.Out(0xC6, 0 << 10 | 3, 1, {0xA0, 0x20, 0xA0, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC6, 0, 0, 2)[0], 0);
    // A second phase without a first: status 0.
    EXPECT_EQ(host.InBytes(0xC5, 0, 0, 1), std::vector<std::uint8_t>{0});
    // An absent device.
    ASSERT_TRUE(host.Out(0xC6, 0 << 10 | 3, 1, {0xA4, 0x20, 0xA5, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC6, 0, 0, 2)[0], 0);
}

TEST(SimFirmware, WideEepromWantsATwoByteWordAddress) {
    Profile p;
    p.wideEepromAddress = 0xAE;
    SimBoard board(p);
    RawHost host{board};
    // 4-byte write on port 1: AE, word address 01 FF, data; then the read.
    ASSERT_TRUE(host.Out(0xC5, 1 << 10 | 4, 1, {0xAE, 0x01, 0xFF, 0x42, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC5, 0, 0, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(board.WideEeprom(1, 0x01FF, 1)[0], 0x42);
    EXPECT_EQ(board.WideEeprom(0, 0x01FF, 1)[0], 0xFF);
    ASSERT_TRUE(host.Out(0xC6, 1 << 10 | 4, 1, {0xAE, 0x01, 0xFF, 0xAF, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC6, 0, 0, 2), (std::vector<std::uint8_t>{1, 0x42}));
    // One word-address byte (3-byte mode, or a byte request) is not acknowledged.
    ASSERT_TRUE(host.Out(0xC6, 1 << 10 | 3, 1, {0xAE, 0xFF, 0xAF, 0x00}).ok());
    EXPECT_EQ(host.InBytes(0xC6, 0, 0, 2)[0], 0);
    EXPECT_EQ(host.InBytes(0xC4, 0xAE, 0x00FF, 2)[0], 0);
}

TEST(SimFirmware, DacKeepsItsOutputThroughAFirmwareResetNotAPowerCycle) {
    Profile p;
    p.resetDelayMs = 0;
    SimBoard board(p);
    RawHost host{board};
    ASSERT_EQ(host.InBytes(0xE0, 0xC040, 0x8000, 1), std::vector<std::uint8_t>{1});
    // The DAC answers a read with its status and register bytes.
    EXPECT_EQ(host.InBytes(0xC1, 0xC0, 0xC0, 2), (std::vector<std::uint8_t>{1, 0xC0}));
    ASSERT_TRUE(host.Out(0xC9, 0, 0).ok());
    for (int i = 0; i < 200 && !board.OnBus(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(board.OnBus());
    EXPECT_EQ(board.Dac(0).value, 0x800);
    board.Unplug();
    board.Plug();
    EXPECT_EQ(board.Dac(0).value, 0);
}

TEST(SimFirmware, SharedCode0xC6TellsI2cxReadFromExtendedRegisters) {
    SimBoard board;
    RawHost host{board};
    // Extended register write of 3 bytes at 1022: the burst wraps to 0.
    ASSERT_TRUE(host.Out(0xC6, (3 - 1) << 10 | 1022, 0, {1, 2, 3}).ok());
    EXPECT_EQ(board.ExtendedRegister(1022), 1);
    EXPECT_EQ(board.ExtendedRegister(1023), 2);
    EXPECT_EQ(board.ExtendedRegister(0), 3);
    // An I2CX read's first phase does not touch the extended registers ...
    board.SetEeprom(0, std::vector<std::uint8_t>{0x5C}, 0x01);
    ASSERT_TRUE(host.Out(0xC6, 0 << 10 | 3, 1, {0xA0, 0x01, 0xA1, 0x00}).ok());
    EXPECT_EQ(board.ExtendedRegister(1), 0);
    // ... and its second phase is not an extended register read.
    EXPECT_EQ(host.InBytes(0xC6, 0, 0, 2), (std::vector<std::uint8_t>{1, 0x5C}));
    // With no first phase pending, wValue 0 with two bytes is a malformed
    // extended read (a two-byte burst says so in wValue) and stalls.
    EXPECT_EQ(host.In(0xC6, 0, 0, 2).error, link::UsbError::Stall);
    EXPECT_EQ(host.InBytes(0xC6, 0 << 10 | 1023, 0, 1), std::vector<std::uint8_t>{2});
    // Burst 64 at 1023 (wValue 0xFFFF) is answered, wrapping.
    EXPECT_EQ(host.InBytes(0xC6, 0xFFFF, 0, 64).size(), 64u);
}

TEST(SimFirmware, DacParameterSetDecodesTheMcp4725Write) {
    SimBoard board;
    RawHost host{board};
    // C0 40 80 00: write DAC register, code 0x800.
    EXPECT_EQ(host.InBytes(0xE0, 0xC040, 0x8000, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(board.Dac(0).value, 0x800);
    EXPECT_EQ(board.Dac(0).word1, 0xC040);
    EXPECT_EQ(board.Dac(1).writes, 0u);
    // Fast mode on the second port: 0F FF gives full scale.
    EXPECT_EQ(host.InBytes(0xE1, 0xC00F, 0xFF00, 1), std::vector<std::uint8_t>{1});
    EXPECT_EQ(board.Dac(1).value, 0xFFF);
    // No DAC at address byte 0xC4.
    EXPECT_EQ(host.InBytes(0xE0, 0xC440, 0x8000, 1), std::vector<std::uint8_t>{0});
}

TEST(SimFirmware, SupervisionRequestsKeepTheirValues) {
    Profile p;
    p.fixedTemperature = 0x2A32;  // 42.50
    p.tempAlertThreshold = 42;
    SimBoard board(p);
    RawHost host{board};
    EXPECT_EQ(host.InBytes(0xC2, 0, 0, 2), (std::vector<std::uint8_t>{0x32, 0x2A}));
    EXPECT_TRUE(board.TemperatureAlert());
    ASSERT_TRUE(host.Out(0xC7, 0, 0, {44}).ok());
    EXPECT_EQ(host.InBytes(0xC7, 0, 0, 1), std::vector<std::uint8_t>{44});
    EXPECT_FALSE(board.TemperatureAlert());
    ASSERT_TRUE(host.Out(0xC8, 0, 0, {30}).ok());
    EXPECT_EQ(host.InBytes(0xC8, 0, 0, 1), std::vector<std::uint8_t>{30});
    ASSERT_TRUE(host.Out(0xC4, 1, 0).ok());
    EXPECT_EQ(board.Suspend(), 1);
    ASSERT_TRUE(host.Out(0xB7, 1, 44).ok());
    EXPECT_EQ(board.WriteWait(), 44);
    EXPECT_EQ(board.ReadWait(), 0);
    ASSERT_TRUE(host.Out(0xC3, 1, 1).ok());  // GPIF wave: write, word
    EXPECT_EQ(board.GpifWave(1), 1);
    EXPECT_EQ(board.GpifWave(0), 0);
}

TEST(SimFirmware, TemperatureDriftsAFewDegreesAroundForty) {
    SimBoard board;
    RawHost host{board};
    auto t = host.InBytes(0xC2, 0, 0, 2);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_GE(t[1], 36);
    EXPECT_LE(t[1], 44);
    EXPECT_LE(t[0], 99);                                             // hundredths
    EXPECT_EQ(host.In(0xC2, 1, 0, 2).error, link::UsbError::Stall);  // one sensor only
}

TEST(SimFirmware, DescriptorsShowTheVendorInterfaceAndItsPipes) {
    Profile p;
    p.usbVendorId = 0x1234;
    p.usbProductId = 0x5678;
    SimBoard board(p);
    const auto d = board.UsbDescriptors();
    ASSERT_GE(d.size(), 18u + 9 + 9 + 7 + 7);
    EXPECT_EQ(d[8] | d[9] << 8, 0x1234);
    EXPECT_EQ(d[10] | d[11] << 8, 0x5678);
    EXPECT_EQ(d[18 + 9 + 5], 0xFF);      // interface class
    EXPECT_EQ(d[18 + 9 + 9 + 2], 0x06);  // first endpoint
    EXPECT_EQ(d[18 + 9 + 9 + 7 + 2], 0x82);
    EXPECT_EQ(static_cast<std::size_t>(d[18 + 2] | d[18 + 3] << 8), d.size() - 18);
    // GET_DESCRIPTOR answers the same bytes.
    std::vector<std::uint8_t> got(18);
    link::SetupPacket s{0x80, 0x06, 0x0100, 0, 18};
    ASSERT_TRUE(board.Control(s, got).ok());
    EXPECT_EQ(got, std::vector<std::uint8_t>(d.begin(), d.begin() + 18));
}

}  // namespace
}  // namespace quillon::sim
