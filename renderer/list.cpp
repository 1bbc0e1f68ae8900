// Display lists: receives op records while a list is being compiled and stores them in chained
// 512-word blocks; hands them back, op by op, to their handlers when the list is called.
// A list name outside 0..1023 never indexes the table: glIsList answers 0 for it, glCallList
// treats it as undefined, and glNewList rejects it as a failed precondition.
#include <cstring>

#include "renderer/context.h"
#include "renderer/error.h"
#include "renderer/gl.h"
#include "renderer/stages.h"

namespace {

OpBlock* newBlock() { return static_cast<OpBlock*>(glAllocZero(sizeof(OpBlock))); }

// A list of one block that holds only the end marker.
DisplayList* newList(RenderContext* c, unsigned list) {
  DisplayList* created = static_cast<DisplayList*>(glAllocZero(sizeof(DisplayList)));
  created->first_block = newBlock();
  created->first_block->words[0] = OpWord::ofInt(kOpEndList);
  c->display_lists[list] = created;
  return created;
}

void freeList(DisplayList* list) {
  OpBlock* block = list->first_block;
  while (block != nullptr) {
    OpBlock* next = block->next;
    glFree(block);
    block = next;
  }
  glFree(list);
}

DisplayList* findList(const RenderContext* c, unsigned list) {
  return list < MAX_DISPLAY_LISTS ? c->display_lists[list] : nullptr;
}

// Copies the record into the block being filled, first linking a new block with op 42 when the
// record would take the block past its 510 op words.
void storeWords(RenderContext* c, const OpWord* record, int words) {
  if (c->list_fill + words > kOpBlockOpWords) {
    OpBlock* next = newBlock();
    OpWord* link = c->list_block->words + c->list_fill;
    link[0] = OpWord::ofInt(kOpNextBuffer);
    link[1] = OpWord::ofPointer(next);
    c->list_block->next = next;
    c->list_block = next;
    c->list_fill = 0;
  }
  std::memcpy(c->list_block->words + c->list_fill, record, sizeof(OpWord) * words);
  c->list_fill += words;
}

}  // namespace

void appendToList(RenderContext* c, const OpWord* record, int words) {
  storeWords(c, record, words);
  // Keep an end marker behind the last op (the next op overwrites it): a list that is called
  // while it is still being compiled then ends where its compiled ops end.
  c->list_block->words[c->list_fill] = OpWord::ofInt(kOpEndList);
}

void freeDisplayLists(RenderContext* c) {
  for (int name = 0; name < MAX_DISPLAY_LISTS; ++name) {
    if (c->display_lists[name] != nullptr) freeList(c->display_lists[name]);
    c->display_lists[name] = nullptr;
  }
}

void glNewList(unsigned list, int mode) {
  RenderContext* c = glCurrentContext();
  RK_ASSERT(mode == GL_COMPILE || mode == GL_COMPILE_AND_EXECUTE, "list");
  RK_ASSERT(c->compile_flag == 0, "list");
  RK_ASSERT(list < MAX_DISPLAY_LISTS, "list");
  if (c->display_lists[list] != nullptr) {
    freeList(c->display_lists[list]);
    c->display_lists[list] = nullptr;
  }
  c->list_block = newList(c, list)->first_block;
  c->list_fill = 0;
  c->compile_flag = 1;
  c->execute_flag = (mode == GL_COMPILE_AND_EXECUTE) ? 1 : 0;
}

void glEndList() {
  RenderContext* c = glCurrentContext();
  RK_ASSERT(c->compile_flag == 1, "list");
  OpWord end = OpWord::ofInt(kOpEndList);
  storeWords(c, &end, 1);
  c->execute_flag = 1;
  c->compile_flag = 0;
}

int glIsList(unsigned list) { return findList(glCurrentContext(), list) != nullptr ? 1 : 0; }

unsigned glGenLists(int range) {
  RenderContext* c = glCurrentContext();
  int run = 0;
  for (int name = 0; name < MAX_DISPLAY_LISTS; ++name) {
    if (c->display_lists[name] != nullptr) {
      run = 0;
      continue;
    }
    if (++run == range) {
      int first = name - range + 1;
      for (int i = first; i <= name; ++i) newList(c, static_cast<unsigned>(i));
      return static_cast<unsigned>(first);
    }
  }
  return 0;
}

void glopCallList(RenderContext* c, const OpWord* p) {
  const DisplayList* list = findList(c, static_cast<unsigned>(p[1].asInt()));
  if (list == nullptr) glFatalError("list %d not defined", p[1].asInt());
  const OpWord* word = list->first_block->words;
  for (;;) {
    int op = word[0].asInt();
    if (op == kOpEndList) return;
    if (op == kOpNextBuffer) {
      word = static_cast<const OpBlock*>(word[1].asPointer())->words;
      continue;
    }
    opTable[op].handler(c, word);  // directly: a called list is neither compiled nor traced
    word += opTable[op].word_count;
  }
}

// Ops 41 and 42 only mark the structure of a stored list; the walk above consumes them.
void glopEndList(RenderContext*, const OpWord*) { RK_ASSERT(0, "list"); }

void glopNextBuffer(RenderContext*, const OpWord*) { RK_ASSERT(0, "list"); }
