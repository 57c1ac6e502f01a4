// Tests of process-wide notifications: order, codes, duplicates and changes
// to the registrations made by callbacks during a broadcast.
#include "sdk/notify.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kCode = NOTIFY_MERGE_BATCH_BEGIN;
constexpr int kOtherCode = NOTIFY_MERGE_BATCH_END;

// One registered listener; the log says who was called with what.
struct Listener {
  std::string name;
  std::vector<std::string>* log;
  // Run inside the callback, before logging.
  void (*action)(Listener* self) = nullptr;
  Listener* other = nullptr;
};

void record(void* param, NotifyInfo* info) {
  auto* l = static_cast<Listener*>(param);
  if (l->action) l->action(l);
  const char* data = info->callParam ? static_cast<const char*>(info->callParam) : "-";
  l->log->push_back(l->name + ":" + std::to_string(info->intcode) + ":" + data);
}

class Notifications : public ::testing::Test {
 protected:
  void TearDown() override {
    for (Listener* l : listeners_) UnRegisterNotification(record, l);
  }
  Listener* make(const std::string& name) {
    owned_.push_back(std::make_unique<Listener>(Listener{name, &log}));
    listeners_.push_back(owned_.back().get());
    return listeners_.back();
  }

  std::vector<std::string> log;

 private:
  std::vector<std::unique_ptr<Listener>> owned_;
  std::vector<Listener*> listeners_;
};

using Log = std::vector<std::string>;

TEST_F(Notifications, CallbacksRunInRegistrationOrderForTheirCodeOnly) {
  Listener* a = make("a");
  Listener* b = make("b");
  Listener* c = make("c");
  ASSERT_EQ(RegisterNotification(record, b, kCode), 1);
  ASSERT_EQ(RegisterNotification(record, c, kOtherCode), 1);
  ASSERT_EQ(RegisterNotification(record, a, kCode), 1);
  char data[] = "x";
  BroadcastNotification(kCode, data);
  BroadcastNotification(kOtherCode);
  const std::string code = std::to_string(kCode);
  const std::string other = std::to_string(kOtherCode);
  EXPECT_EQ(log, (Log{"b:" + code + ":x", "a:" + code + ":x", "c:" + other + ":-"}));
}

TEST_F(Notifications, RegistrationAnswersTellWhetherAnythingChanged) {
  Listener* a = make("a");
  Listener* b = make("b");
  EXPECT_EQ(RegisterNotification(record, a, kCode), 1);
  EXPECT_EQ(RegisterNotification(record, a, kCode), 0);  // the same triple again
  EXPECT_EQ(RegisterNotification(record, b, kCode), 1);  // other parameter
  EXPECT_EQ(RegisterNotification(record, a, kOtherCode), 1);
  EXPECT_EQ(RegisterNotification(nullptr, a, kCode), 0);

  EXPECT_EQ(UnRegisterNotification(record, a, kCode), 1);
  EXPECT_EQ(UnRegisterNotification(record, a, kCode), 0);
  EXPECT_EQ(UnRegisterNotification(record, a), 1);  // removes kOtherCode
  EXPECT_EQ(UnRegisterNotification(record, a), 0);

  BroadcastNotification(kCode);
  BroadcastNotification(kOtherCode);
  EXPECT_EQ(log, (Log{"b:" + std::to_string(kCode) + ":-"}));
}

TEST_F(Notifications, CallbackMayRemoveLaterOnesAndAddNewOnesDuringABroadcast) {
  Listener* first = make("first");
  Listener* removed = make("removed");
  Listener* added = make("added");
  first->other = removed;
  // `first` removes `removed` and adds `added` the first time it runs.
  first->action = [](Listener* self) {
    if (!self->other) return;
    UnRegisterNotification(record, self->other, kCode);
    RegisterNotification(record, self->other->other, kCode);
    self->other = nullptr;
  };
  removed->other = added;
  RegisterNotification(record, first, kCode);
  RegisterNotification(record, removed, kCode);

  BroadcastNotification(kCode);
  EXPECT_EQ(log, (Log{"first:" + std::to_string(kCode) + ":-"}));
  log.clear();
  BroadcastNotification(kCode);
  const std::string code = std::to_string(kCode);
  EXPECT_EQ(log, (Log{"first:" + code + ":-", "added:" + code + ":-"}));
}

TEST_F(Notifications, CallbackMayRemoveItselfAndBroadcastAgain) {
  Listener* self = make("self");
  Listener* after = make("after");
  self->action = [](Listener* l) {
    UnRegisterNotification(record, l, kCode);
    BroadcastNotification(kCode);  // nested: `self` is gone already, `after` hears it
  };
  RegisterNotification(record, self, kCode);
  RegisterNotification(record, after, kCode);
  BroadcastNotification(kCode);
  const std::string code = std::to_string(kCode);
  EXPECT_EQ(log, (Log{"after:" + code + ":-", "self:" + code + ":-", "after:" + code + ":-"}));
  log.clear();
  BroadcastNotification(kCode);
  EXPECT_EQ(log, (Log{"after:" + code + ":-"}));
  EXPECT_EQ(RegisterNotification(record, self, kCode), 1);  // can come back
}

}  // namespace
