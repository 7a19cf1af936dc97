// The table of open ports over pty fixtures: all usable ports or the fixed one, the status
// text, port lookup, broadcast and shutdown.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <limits>

#include "core/virtual_window_system.h"
#include "tests/serial/pty_fixture.h"
#include "update/port_table.h"

namespace update {
namespace {

class PortTableTest : public ::testing::Test {
 protected:
  void AddPorts(std::initializer_list<int> numbers) {
    for (int n : numbers) dir.Add(n);
  }
  PortTable& Table() {
    if (!table) {
      table = std::make_unique<PortTable>(windows);
      table->SetErrorBox(
          [this](const std::string&, const std::string& text) { boxes.push_back(text); });
    }
    return *table;
  }

  ptytest::PortDir dir;
  core::VirtualWindowSystem windows;
  std::unique_ptr<PortTable> table;
  std::vector<std::string> boxes;
};

TEST_F(PortTableTest, OpensEveryUsablePortWithTheFirstPortsLine) {
  AddPorts({1, 3, 4});
  Table().TakeInventory();
  EXPECT_EQ(table->PortCount, 3);
  EXPECT_EQ(table->UsablePortNumbers, (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(table->OpenPorts(false, 0), "[Com1] [3] [4]");
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(table->Entry(i), nullptr);
    EXPECT_TRUE(table->Entry(i)->Opened());
    EXPECT_EQ(table->Entry(i)->ComNumber(), table->UsablePortNumbers[i]);
    // Two stop bits are UpdateCom's; the further ports take its line.
    EXPECT_TRUE(dir[table->UsablePortNumbers[i]].LineSettings().c_cflag & CSTOPB);
  }
  EXPECT_EQ(table->Entry(0), &table->UpdateCom());

  table->BroadcastWrite("\r\nA.1000\r\n", -1, false);
  for (int n : {1, 3, 4}) EXPECT_EQ(dir[n].Receive(10), "\r\nA.1000\r\n") << n;

  struct Lookup {
    int portNumber, index;
  } lookups[] = {{1, 0}, {3, 1}, {4, 2}, {2, 3}, {99, 3}};
  for (const Lookup& l : lookups) EXPECT_EQ(table->PortIndexOf(l.portNumber), l.index);

  // A loader may still hold a port when the window closes during a run: closing never frees
  // the object under it (the sanitizer build would catch the access).
  serial::TComPort* heldByALoader = table->Entry(2);
  table->CloseAll();
  EXPECT_EQ(table->Entry(0), nullptr);
  EXPECT_FALSE(table->UpdateCom().Opened());
  EXPECT_FALSE(heldByALoader->Opened());
  EXPECT_EQ(heldByALoader->Write("A.1000\r\n", -1, false), serial::kNotOpen);
  serial::TComPort other(serial::TComPort::Inventory::Skip);
  EXPECT_GT(other.Open(nullptr, 3, false), 0);  // released
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PortTableTest, AFixedPortIsTheOnlyOneOpened) {
  AddPorts({1, 3, 4});
  Table().TakeInventory();
  // Panel 0 names the device beside the port; a port that did not open names none (below).
  EXPECT_EQ(table->OpenPorts(true, 2), "Com3 " + dir[3].SlavePath());
  EXPECT_EQ(table->PortCount, 1);
  EXPECT_EQ(table->UpdateCom().ComNumber(), 3);
  EXPECT_EQ(table->Entry(1), nullptr);
  for (int portNumber : {1, 3, 42}) EXPECT_EQ(table->PortIndexOf(portNumber), 0);

  table->BroadcastWrite("?", 1, false);
  EXPECT_EQ(dir[3].Receive(1), "?");
  EXPECT_EQ(dir[1].Receive(1, 50), "");
}

TEST_F(PortTableTest, AFixedPortThatCannotOpenIsReported) {
  AddPorts({1});
  struct Case {
    int comIndex;
    int language;
    const char* panel;
    const char* box;
  } cases[] = {{8, 0, "Com9", "COM9 konnte nicht geöffnet werden!"},
               {8, 1, "Com9", "Cannot open COM9!"},
               {std::numeric_limits<int>::max(), 0, "Com2147483648",
                "COM2147483648 konnte nicht geöffnet werden!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.panel);
    table.reset();
    boxes.clear();
    Table().SetLanguage(c.language);
    Table().TakeInventory();
    EXPECT_EQ(table->OpenPorts(true, c.comIndex), c.panel);
    EXPECT_EQ(boxes, std::vector<std::string>{c.box});
    EXPECT_FALSE(table->UpdateCom().Opened());
    table->BroadcastWrite("x", 1, false);  // a closed entry is harmless
  }
}

TEST_F(PortTableTest, TheTableGrowsBeyondTenPorts) {
  for (int n = 1; n <= 12; ++n) dir.Add(n);
  Table().TakeInventory();
  EXPECT_EQ(table->OpenPorts(false, 0), "[Com1] [2] [3] [4] [5] [6] [7] [8] [9] [10] [11] [12]");
  ASSERT_NE(table->Entry(11), nullptr);
  EXPECT_EQ(table->Entry(11)->ComNumber(), 12);
  EXPECT_EQ(table->PortIndexOf(12), 11);
}

TEST_F(PortTableTest, DiscardReceivedDropsWhatWaitsOnThatPortOnly) {
  AddPorts({2, 5});
  Table().TakeInventory();
  table->OpenPorts(false, 0);
  dir[2].Send("noise");
  dir[5].Send("I.2000#7\r\n");
  table->DiscardReceived(2);
  table->DiscardReceived(9);  // not in the table: nothing
  char buffer[300];
  EXPECT_EQ(table->Entry(0)->Read(buffer, 250), 0);
  ASSERT_EQ(table->Entry(1)->Read(buffer, 250), 10);
  EXPECT_EQ(std::string(buffer, 10), "I.2000#7\r\n");
}

// What stops a run before any search, and the fix, in both languages. The fixed port decides
// alone; without one, a single usable port is enough.
TEST(PortProblem, SaysWhatStopsARunAndHowToFixIt) {
  using ::testing::HasSubstr;
  struct Case {
    const char* what;
    PortFacts facts;
    int language;
    std::vector<std::string> says;  // empty: the run may go on
  } cases[] = {
      {"no port", {false, 0, {}, {}, {}}, 0, {"keine serielle Schnittstelle", "--list-ports"}},
      {"no port", {false, 0, {}, {}, {}}, 1, {"finds no serial port", "--list-ports"}},
      {"none permitted",
       {false, 0, {0, 4}, {}, {0, 4}},
       1,
       {"may open none", "COM1 (", "COM5 (", "dialout"}},
      {"none permitted", {false, 0, {0}, {}, {0}}, 0, {"darf keine", "dialout"}},
      {"all busy", {false, 0, {1}, {}, {}}, 1, {"in use by another program: COM2 ("}},
      {"one usable among refused", {false, 0, {0, 2}, {2}, {0}}, 1, {}},
      {"fixed port missing", {true, 4, {0}, {0}, {}}, 0, {"Com=5", "COM5 (", "Update.ini"}},
      {"fixed port missing", {true, 4, {0}, {0}, {}}, 1, {"the line Com=5", "--list-ports"}},
      {"fixed port refused", {true, 0, {0, 2}, {2}, {0}}, 1, {"COM1 (", "dialout"}},
      {"fixed port busy", {true, 1, {1}, {}, {}}, 0, {"anderen Programm benutzt: COM2 ("}},
      {"fixed port usable", {true, 2, {2}, {2}, {}}, 1, {}},
      {"fixed port far out",
       {true, std::numeric_limits<int>::max(), {}, {}, {}},
       1,
       {"Com=2147483648"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.language == 0 ? " (German)" : " (English)"));
    const std::string text = PortProblem(c.facts, c.language);
    if (c.says.empty()) {
      EXPECT_EQ(text, "");
    }
    for (const std::string& part : c.says) EXPECT_THAT(text, HasSubstr(part));
  }
}

// The inventory behind those facts: a port held by another program is present but not usable,
// a port of no entry is absent.
TEST_F(PortTableTest, TheInventoryTellsUsableBusyAndMissingPorts) {
  AddPorts({1, 2});
  const int held = open(dir[2].SlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  Table().TakeInventory();
  close(held);
  const PortFacts facts = table->Facts(true, 1);
  EXPECT_EQ(facts.present, (std::vector<int>{0, 1}));
  EXPECT_EQ(facts.usable, (std::vector<int>{0}));
  EXPECT_TRUE(table->PortPresent(1));
  EXPECT_FALSE(table->PortPresent(2));
  EXPECT_THAT(PortProblem(facts, 1), ::testing::HasSubstr("in use by another program"));
  EXPECT_EQ(PortProblem(table->Facts(false, 0), 1), "");
}

}  // namespace
}  // namespace update
