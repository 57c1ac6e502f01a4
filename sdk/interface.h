// Interface: the host's core services as the plug-in sees them (the current
// time, directories, the scene's render effects, nodes by name, message
// boxes, the render cancel flag, progress). The host installs its
// implementation with SetCOREInterface; until then GetCOREInterface answers a
// quiet stand-in without a scene, so code that runs outside a host (tests,
// tools) never gets null.
#pragma once

#include <string>
#include <vector>

#include "sdk/interval.h"

class ClassDesc2;
class Effect;
class INode;

// Host directory numbers for GetDir.
inline constexpr int APP_USER_SETTINGS_DIR = 20;  // root of the user's settings; plug-ins add "/plugcfg"
// The folder the render's images go to; plug-ins resolve relative names of
// the files they write beside the images against it. Empty: the working folder.
inline constexpr int APP_RENDER_OUTPUT_DIR = 21;

// Opaque window handle of the host's main window (or of a dialog).
using WindowHandle = void*;

enum class MessageIcon { Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
// What the user answered in a message box.
enum MessageResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// One question of a merge dialog: what becomes of an incoming item (a line
// effect that arrived with merged objects), the position-th of count.
struct MergeQuestion {
  std::string title;
  std::string incomingName;
  int position = 1;  // from 1
  int count = 1;
  // The names of the scene's own items the incoming one may join.
  std::vector<std::string> existingNames;
  // False: the list of existing items and the merge-by-name box are disabled.
  bool canChooseExisting = false;
  // False: the apply-to-remaining box is disabled.
  bool canApplyToRemaining = false;
};

// The dialog's state: filled with what the dialog opens with, changed to
// what the user chose.
struct MergeAnswer {
  enum Choice : int { kAdd = 0, kMergeInto = 1, kDrop = 2 };
  int choice = kAdd;
  int existingIndex = 0;  // the chosen item of existingNames
  bool mergeByName = false;
  bool applyToRemaining = false;
};

class Interface {
 public:
  virtual ~Interface() = default;

  virtual TimeValue GetTime() = 0;
  virtual void SetTime(TimeValue t) = 0;

  // A host directory by number; empty when the host has none of that number.
  virtual std::string GetDir(int which) = 0;

  // The scene's render effects, in list order.
  virtual int NumEffects() = 0;
  virtual Effect* GetEffect(int i) = 0;
  // True when the current render applies render effects.
  virtual bool RenderEffectsEnabled() = 0;
  // True when this host renders as a network rendering server (no user).
  virtual bool IsNetServer() = 0;

  // The first node with this exact name, or null.
  virtual INode* GetINodeByName(const char* name) = 0;

  virtual WindowHandle GetAppHWnd() = 0;
  // Shows a modal message (or reports it where there is no user) and answers
  // the button chosen; without a user the default answer is IDOK / IDYES.
  virtual int MessageBox(const char* text, const char* caption, MessageIcon icon,
                         MessageButtons buttons = MessageButtons::Ok) = 0;

  // The scene's root node; null when the host has no scene.
  virtual INode* GetRootNode() { return nullptr; }
  // Appends `effect` to the scene's render effects; false when there is no
  // scene or the effect is in the list already.
  virtual bool AddEffect(Effect* effect) {
    (void)effect;
    return false;
  }
  // Deletes `node` from the scene; its children move to its parent. The
  // node's object goes with it when nothing else references it. False when
  // the node is not in the scene (or is its root).
  virtual bool DeleteNode(INode* node) {
    (void)node;
    return false;
  }
  // Shows a modal merge dialog with `answer` as its opening state; answers
  // false when the user cancelled it (then `answer` is not to be used).
  // Without a user the opening state is the answer.
  virtual bool AskMergeChoice(const MergeQuestion& question, MergeAnswer& answer) {
    (void)question, (void)answer;
    return true;
  }

  // The flag the user sets to stop a render; long work polls it.
  virtual bool GetCancel() = 0;
  virtual void SetCancel(bool cancel) = 0;

  // Progress of long work: a title, then percentages 0..100, then the end.
  virtual void ProgressStart(const char* title) = 0;
  virtual void ProgressUpdate(int percent, const char* title = nullptr) = 0;
  virtual void ProgressEnd() = 0;

  // Where a plug-in writes an inspection output of kind `kind` (for
  // instance "edges") for the frame at time t; empty when none was asked for.
  virtual std::string InspectionPath(const char* kind, TimeValue t) {
    (void)kind, (void)t;
    return {};
  }

  // A plug-in could not write a file the render produces beside its images
  // (a vector file, say): the host warns the user, naming the file, and
  // counts the render as failed. The quiet stand-in does nothing.
  virtual void OutputFailed(const char* path, const char* reason) { (void)path, (void)reason; }

  // Offers a class to the host's class directory: 1 when added, another
  // value when a class with those ids is present. DeleteClass withdraws it.
  virtual int AddClass(ClassDesc2* cd);
  virtual bool DeleteClass(ClassDesc2* cd);
};

// The host's interface; never null.
Interface* GetCOREInterface();
// Installs the host's interface (null puts the quiet stand-in back). The
// caller keeps ownership and must uninstall it before destroying it.
void SetCOREInterface(Interface* ip);
