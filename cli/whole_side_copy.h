// What export and import give the window's copy: a whole side as its tree root would, and answers that never ask.
#pragma once
#include "editing.h"

// Every plug-in and chain of side, in list order.
Selection WholeSide(CatalogueSide side);

// answer stands for the user's answer to every overwrite question; refused Lathmere presets are only recorded; the
// step is left pending for the caller to commit or discard.
CopyOptions UnattendedCopy(AnswerMode answer);
