// Tests of theHold: nesting of holds, cancel, named undo and redo entries.
#include "sdk/hold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// What the records of one test did, in order.
std::vector<std::string> gEvents;

// Records one assignment to an int; names itself in the event log.
class SetRestore : public RestoreObj {
 public:
  SetRestore(int* var, int before, int after, std::string name)
      : var_(var), before_(before), after_(after), name_(std::move(name)) {}
  ~SetRestore() override { gEvents.push_back("drop " + name_); }
  void Restore(int isUndo) override {
    *var_ = before_;
    gEvents.push_back("restore " + name_ + (isUndo ? " undo" : " cancel") +
                      (theHold.Holding() ? " holding" : ""));
  }
  void Redo() override {
    *var_ = after_;
    gEvents.push_back("redo " + name_ + (theHold.Holding() ? " holding" : ""));
  }
  void EndHold() override { gEvents.push_back("end " + name_); }

 private:
  int* var_;
  int before_;
  int after_;
  std::string name_;
};

// Sets *var to value and records it, as undoable code does.
void set(int* var, int value, const std::string& name) {
  theHold.Put(std::make_unique<SetRestore>(var, *var, value, name));
  *var = value;
}

class Holds : public ::testing::Test {
 protected:
  void SetUp() override {
    theHold.Reset();
    gEvents.clear();
  }
  void TearDown() override { theHold.Reset(); }
};

using Events = std::vector<std::string>;

TEST_F(Holds, OuterCancelRestoresWhatAnInnerHoldAccepted) {
  int v = 0;
  theHold.Begin();
  set(&v, 1, "a");
  theHold.Begin();
  set(&v, 2, "b");
  theHold.Accept("inner");
  EXPECT_TRUE(gEvents.empty()) << "EndHold belongs to the outermost accept";
  theHold.Cancel();
  EXPECT_EQ(v, 0);
  ASSERT_EQ(gEvents.size(), 4u);
  EXPECT_EQ(Events(gEvents.begin(), gEvents.begin() + 2),
            (Events{"restore b cancel", "restore a cancel"}));
  EXPECT_EQ(std::count(gEvents.begin(), gEvents.end(), "drop a"), 1);
  EXPECT_EQ(std::count(gEvents.begin(), gEvents.end(), "drop b"), 1);
  EXPECT_FALSE(theHold.CanUndo());
  EXPECT_FALSE(theHold.Holding());
}

TEST_F(Holds, InnerCancelKeepsTheOuterRecords) {
  int v = 0;
  theHold.Begin();
  set(&v, 1, "a");
  theHold.Begin();
  set(&v, 2, "b");
  theHold.Cancel();
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(theHold.Holding());
  // Cancel restores with recording suspended, although the outer hold is open.
  EXPECT_EQ(gEvents, (Events{"restore b cancel", "drop b"}));
  theHold.Accept("Outer");
  EXPECT_EQ(theHold.NumUndoEntries(), 1);
  ASSERT_TRUE(theHold.Undo());
  EXPECT_EQ(v, 0);
}

TEST_F(Holds, UndoAndRedoWalkSeveralNamedEntries) {
  int v = 0;
  const char* names[] = {"One", "Two", "Three"};
  for (int i = 0; i < 3; ++i) {
    theHold.Begin();
    set(&v, i + 1, names[i]);
    theHold.Accept(names[i]);
  }
  EXPECT_EQ(theHold.NumUndoEntries(), 3);
  EXPECT_EQ(theHold.UndoName(), "Three");
  EXPECT_EQ(theHold.RedoName(), "");

  const struct {
    bool undo;
    int value;
    const char* undoName;
    const char* redoName;
  } steps[] = {
      {true, 2, "Two", "Three"}, {true, 1, "One", "Two"},    {true, 0, "", "One"},
      {false, 1, "One", "Two"},  {false, 2, "Two", "Three"}, {true, 1, "One", "Two"},
  };
  for (const auto& s : steps) {
    ASSERT_TRUE(s.undo ? theHold.Undo() : theHold.Redo());
    EXPECT_EQ(v, s.value);
    EXPECT_EQ(theHold.UndoName(), s.undoName);
    EXPECT_EQ(theHold.RedoName(), s.redoName);
  }

  // A new entry forgets what could be redone.
  theHold.Begin();
  set(&v, 9, "Nine");
  theHold.Accept("Nine");
  EXPECT_FALSE(theHold.CanRedo());
  EXPECT_FALSE(theHold.Redo());
  EXPECT_EQ(theHold.NumUndoEntries(), 2);
}

TEST_F(Holds, UndoRestoresNewestFirstAndRedoReplaysOldestFirst) {
  int v = 0;
  theHold.Begin();
  set(&v, 1, "a");
  set(&v, 2, "b");
  theHold.Accept("Both");
  EXPECT_EQ(gEvents, (Events{"end a", "end b"}));
  gEvents.clear();

  theHold.Undo();
  EXPECT_EQ(v, 0);
  theHold.Redo();
  EXPECT_EQ(v, 2);
  EXPECT_EQ(gEvents, (Events{"restore b undo", "restore a undo", "redo a", "redo b"}));
}

TEST_F(Holds, EmptyHoldMakesNoEntryAndKeepsRedo) {
  int v = 0;
  theHold.Begin();
  set(&v, 1, "a");
  theHold.Accept("Set");
  theHold.Undo();
  theHold.Begin();
  theHold.Accept("Nothing");
  EXPECT_FALSE(theHold.CanUndo());
  EXPECT_EQ(theHold.RedoName(), "Set");
}

TEST_F(Holds, RecordsOutsideAHoldOrWhileSuspendedAreDropped) {
  int v = 0;
  set(&v, 1, "outside");
  theHold.Begin();
  {
    HoldSuspend suspend;
    EXPECT_FALSE(theHold.Holding());
    set(&v, 2, "suspended");
  }
  EXPECT_TRUE(theHold.Holding());
  theHold.Accept("Nothing kept");
  EXPECT_FALSE(theHold.CanUndo());
  EXPECT_EQ(gEvents, (Events{"drop outside", "drop suspended"}));
}

TEST_F(Holds, UndoIsRefusedWhileAHoldIsOpen) {
  int v = 0;
  theHold.Begin();
  set(&v, 1, "a");
  theHold.Accept("A");
  theHold.Undo();
  theHold.Begin();
  EXPECT_FALSE(theHold.Undo());
  EXPECT_FALSE(theHold.Redo());
  theHold.Cancel();
  EXPECT_TRUE(theHold.Redo());
  EXPECT_EQ(v, 1);
}

TEST_F(Holds, ResetDropsEntriesAndOpenHolds) {
  int v = 0;
  theHold.Begin();
  set(&v, 1, "a");
  theHold.Accept("A");
  theHold.Begin();
  set(&v, 2, "b");
  theHold.Accept("B");
  theHold.Undo();
  theHold.Begin();
  set(&v, 3, "c");
  gEvents.clear();

  theHold.Reset();
  EXPECT_FALSE(theHold.Holding());
  EXPECT_FALSE(theHold.CanUndo());
  EXPECT_FALSE(theHold.CanRedo());
  EXPECT_EQ(gEvents.size(), 3u);
  EXPECT_EQ(v, 3) << "reset drops records without restoring";
}

TEST_F(Holds, UnmatchedAcceptAndCancelAreIgnored) {
  int v = 0;
  theHold.Accept("Stray");
  theHold.Cancel();
  EXPECT_FALSE(theHold.CanUndo());
  theHold.Begin();
  set(&v, 1, "a");
  theHold.Accept("A");
  theHold.Cancel();  // nothing open: the accepted entry stays
  EXPECT_EQ(v, 1);
  EXPECT_EQ(theHold.NumUndoEntries(), 1);
}

}  // namespace
