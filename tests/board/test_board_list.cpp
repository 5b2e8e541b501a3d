// The board list built from the driver's channels, the USB connection log and connecting.
#include <cstdio>
#include <regex>
#include <string>

#include "tests/board/board_fixture.h"

namespace {

// A driver that only lists channels, as given by the test.
struct fake_channel_s {
  uint32_t type;
  const char *desc;
  const char *serial;
  uint32_t loc;
  FT_STATUS status;
};
std::vector<fake_channel_s> g_channels;
FT_STATUS g_list_status = FT_OK;

FT_STATUS f_list(void *, uint32_t *n) {
  *n = g_list_status == FT_OK ? static_cast<uint32_t>(g_channels.size()) : 0;
  return g_list_status;
}
FT_STATUS f_detail(void *, uint32_t i, ft_device_info_s *info) {
  if (i >= g_channels.size()) return FT_DEVICE_NOT_FOUND;
  const fake_channel_s &c = g_channels[i];
  if (c.status != FT_OK) return c.status;
  info->type = c.type;
  info->locId = c.loc;
  std::snprintf(info->description, FT_DESC_LEN, "%s", c.desc);
  std::snprintf(info->serial, FT_SERIAL_LEN, "%s", c.serial);
  return FT_OK;
}

struct BoardList : board_fixture {
  kxKovaIo_UsbLogS log;
  kxKovaIo_BoardListS list;
  ft_backend_s fake{};

  void use_fake(std::vector<fake_channel_s> channels) {
    g_channels = std::move(channels);
    g_list_status = FT_OK;
    fake = *kxemu_backend();
    fake.create_device_info_list = f_list;
    fake.get_device_info_detail = f_detail;
    ft_backend_use(&fake);
  }
  // Each listed board's channels A and B.
  std::vector<std::pair<uint32_t, uint32_t>> pairs() const {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (uint32_t i = 0; i < list.count; ++i) out.emplace_back(list.boardInfo[i].chanA, list.boardInfo[i].chanB);
    return out;
  }
  // The log's texts without their time stamps.
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < log.count; ++i) out.emplace_back(log.lines[i] + 14);
    return out;
  }
  void SetUp() override {
    board_fixture::SetUp();
    kxKovaIo_UsbLogOpen(&log);
  }
};

TEST_F(BoardList, AChannelsAndBChannelsPairByLocation) {
  use_fake({{6, "Dual RS232-HS A", "FT5X1A", 0x2131, FT_OK},
            {6, "Dual RS232-HS B", "FT5X1B", 0x2132, FT_OK},
            {6, "Kova Eval A", "K2A", 0x2141, FT_OK},
            {6, "Kova Eval B", "K2B", 0x2142, FT_OK}});
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  EXPECT_EQ(pairs(), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 1}, {2, 3}}));
  EXPECT_EQ(list.boardInfo[1].locIdA, 0x2141u);
  EXPECT_EQ(std::vector<std::string>(list.lines, list.lines + 2),
            (std::vector<std::string>{"0: Dual RS232-HS A", "2: Kova Eval A"}));
  EXPECT_EQ(std::pair(list.selected, list.connectEnabled), std::pair(0, true));
  EXPECT_EQ(texts(), (std::vector<std::string>{"Form opened", "Board query: 4 FTDI channels found",
                                               "Channel 0: FT2232 A Channel", "Channel 1: FT2232 B Channel",
                                               "Channel 2: FT2232 A Channel", "Channel 3: FT2232 B Channel"}));
  // B channels without a location take the next entry in order.
  use_fake({{6, "X A", "", 0, FT_OK}, {6, "Y A", "", 0, FT_OK}, {6, "X B", "", 0, FT_OK}, {6, "Y B", "", 0, FT_OK}});
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  EXPECT_EQ(pairs(), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 2}, {1, 3}}));
}

TEST_F(BoardList, OtherChannelsAreLoggedAndLeftOut) {
  use_fake({{6, "Kova A", "S1A", 0x11, FT_OK},
            {8, "Single RS232-HS", "S2", 0x21, FT_OK},
            {6, "", "", 0, FT_OTHER_ERROR},
            {6, "Foo", "123", 0x31, FT_OK},
            {6, "Serial only", "S4B", 0x12, FT_OK}});
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  EXPECT_EQ(pairs(), (std::vector<std::pair<uint32_t, uint32_t>>{{0, 4}}));  // B recognised by its serial
  EXPECT_EQ(texts(), (std::vector<std::string>{"Form opened", "Board query: 5 FTDI channels found",
                                               "Channel 0: FT2232 A Channel", "Channel 1 unavailable (devType: 8)",
                                               "Channel 2 information unavailable (FT_Error 0x12).",
                                               "Unrecognized devDesc: Foo", "Channel 4: FT2232 B Channel"}));
}

TEST_F(BoardList, AnEmptyOrFailedQueryGivesAnEmptyListWithNothingSelected) {
  use_fake({});
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  EXPECT_EQ(std::tuple(list.count, list.selected, list.connectEnabled), std::tuple(0u, -1, false));
  g_list_status = FT_OTHER_ERROR;
  EXPECT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 1u);
  EXPECT_EQ(std::tuple(list.count, list.selected, list.connectEnabled), std::tuple(0u, -1, false));
  EXPECT_EQ(texts().back(), "Board query: ERROR(18)");
}

TEST_F(BoardList, TheListHoldsThirtyTwoBoards) {
  std::vector<fake_channel_s> many;
  static char names[40][16];
  for (int i = 0; i < 34; ++i) {
    std::snprintf(names[i], sizeof names[i], "Board%02d A", i);
    many.push_back({6, names[i], "", static_cast<uint32_t>(0x100 + 2 * i), FT_OK});
  }
  use_fake(many);
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  EXPECT_EQ(list.count, 32u);
  EXPECT_STREQ(list.lines[31], "31: Board31 A");
  EXPECT_EQ(texts().back(), "Channel 33: board list full, channel not listed");
}

TEST_F(BoardList, TheConnectedBoardIsSelected) {
  install("40000,40000");
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  list.selected = 1;
  ASSERT_EQ(kxKovaIo_BoardConnect(&list, &h, false, &log), 0u);
  EXPECT_EQ(kxKovaIo_GetBoardMode(), 1u);
  EXPECT_EQ(h.chA.gpio.lo.data & 0x10, 0);  // routed to the chip
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, &h, &log), 0u);
  EXPECT_EQ(list.selected, 1);
  // Connecting again closes the board first; with the option the bus goes to the EEPROM.
  ASSERT_EQ(kxKovaIo_BoardConnect(&list, &h, true, &log), 0u);
  EXPECT_EQ(h.chA.gpio.lo.data & 0x10, 0x10);
  EXPECT_TRUE(messages().empty());
}

TEST_F(BoardList, ConnectFailuresAreReported) {
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, &log), 0u);
  list.selected = -1;
  EXPECT_EQ(kxKovaIo_BoardConnect(&list, &h, false, &log), 1u);
  EXPECT_EQ(messages(), (messages_t{{"No eval board selected!", "Connect"}}));

  list.selected = 0;
  list.boardInfo[0].chanB = 7;
  EXPECT_EQ(kxKovaIo_BoardConnect(&list, &h, false, &log), 1u);
  EXPECT_EQ(messages(), (messages_t{{"Channel 7 FT_Open failed!", "FTDI Error"},
                                    {"Failed connecting to selected eval board: Error code 0x02", "Connect"}}));
  // Channel B failing leaves a half-open board: not connected (18), channel A kept until
  // the board is closed, and no block to the next connect.
  ASSERT_NE(h.chA.handle, 0u);
  EXPECT_EQ(h.chB.handle, 0u);
  bool open = true;
  EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 1u);
  EXPECT_FALSE(open);
  EXPECT_EQ(FT_ERRNO, 18u);
  list.boardInfo[0].chanB = 1;
  EXPECT_EQ(kxKovaIo_BoardConnect(&list, &h, false, &log), 0u);
  EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 0u);
  EXPECT_TRUE(open);
}

TEST_F(BoardList, LogLinesCarryTheTimeAndAreSavedOnRequest) {
  kxKovaIo_UsbLogAdd(&log, "Board query: 2 FTDI channels found");
  const std::regex line(R"(\d\d:\d\d:\d\d\.\d\d\d: .+)");
  for (uint32_t i = 0; i < log.count; ++i) EXPECT_TRUE(std::regex_match(log.lines[i], line)) << log.lines[i];
  const std::string path = temp_path("UsbConnLog");
  ASSERT_TRUE(kxKovaIo_UsbLogSave(&log, path.c_str()));
  EXPECT_EQ(take_lines(path), (std::vector<std::string>{log.lines[0], log.lines[1]}));
  EXPECT_FALSE(kxKovaIo_UsbLogSave(&log, "/nonexistent-dir/x.log"));
  // A full log drops its oldest lines.
  for (int i = 0; i < 600; ++i) kxKovaIo_UsbLogAdd(&log, ("line " + std::to_string(i)).c_str());
  EXPECT_EQ(log.count, KXKOVAIO_LOG_LINES);
  EXPECT_STREQ(log.lines[KXKOVAIO_LOG_LINES - 1] + 14, "line 599");
  EXPECT_STREQ(log.lines[0] + 14, "line 88");
}

}  // namespace
