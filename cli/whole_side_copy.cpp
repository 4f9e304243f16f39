// What export and import give the window's copy: a whole side as its tree root would, and answers that never ask.
#include "whole_side_copy.h"

Selection WholeSide(CatalogueSide side) {
    Selection selection;
    selection.side = side;
    selection.focusedPane = PANE_TREE;
    selection.nodeKind = NODE_ROOT;
    selection.names = {L""};
    return selection;
}

CopyOptions UnattendedCopy(AnswerMode answer) {
    CopyOptions options;
    options.answer = answer;
    options.showRefusals = false;
    options.apply = false;
    return options;
}
