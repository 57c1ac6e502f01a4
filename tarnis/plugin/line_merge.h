// How line effects travel with merged objects: the file-notification
// handlers of the line merge helpers (line_merge_helper.h) and the merge
// dialog sequence.
//
//   pre-save             helpers in the scene reference every line effect
//   post-save, post-open every helper empties its list
//   pre-merge            the helpers already there lose their merged mark
//   host code 101        the merge brought nothing: skip the dialogs once
//   post-merge           the first helper holding effects runs the dialog
//                        sequence, every helper empties its list, and the
//                        helpers that arrived are deleted with their nodes
//
// The handlers work on the scene of the core interface: its render effects,
// its root node, node deletion and the merge dialog (Interface).
#pragma once

namespace tarnis {

class LineMergeHelper;

// Registers the handlers above; a second call changes nothing.
void RegisterLineMergeNotifications();

// The handlers' work, for the notifications and for tests.
void PrepareLineMergeHelpersForSave();
void ClearLineMergeHelperReferences();
void MarkLineMergeHelpersPresent();
void SkipNextLineMergeDialogs();
void FinishLineMerge();

// The dialog sequence for the line effects `helper` brought: each incoming
// line effect is added to the scene's render effects, has its line sets
// merged into one of the scene's line effects, or is dropped, as the
// dialogs answer. Answers the number of effects added or merged.
int RunLineMergeDialogs(LineMergeHelper& helper);

}  // namespace tarnis
