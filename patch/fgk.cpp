// fgk, xdelta3's adaptive Huffman coding (the FGK algorithm of Knuth's "Dynamic Huffman
// Coding"), decoded as xdelta3 builds its tree. Bits come lowest first from each byte; a
// byte's code is the path from the root of the tree (0 left, 1 right) to its leaf; a byte
// not seen before is the path to the leaf that stands for every unseen byte, followed by
// its place among them (exp bits, or exp + 1 when their count is not a power of two). The
// tree is updated after each byte, as the encoder did, and carries on from one section of
// a kind to the next.
//
// Nodes 0-255 are the bytes; unseen ones are chained through their child links (the head
// first). Nodes from 256 on are the inner nodes, one added for each byte seen. All nodes
// with a weight are also in one list by weight (left, right); a block names the rightmost
// node (the leader) of a run of equal weights.
#include <cstdint>
#include <cstring>
#include <utility>

#include "patch/secondary.h"

namespace {

const int kNone = -1;
const int kBytes = 256;
const int kNodes = 2 * kBytes - 1;
const int kBlocks = 2 * kNodes;

struct Node {
    std::uint32_t weight = 0;
    int parent = kNone, leftChild = kNone, rightChild = kNone, left = kNone, right = kNone, block = kNone;
};

} // namespace

// The tree and the decoder's place in it.
struct FgkSections::Tree {
    Node nodes[kNodes];
    int leaders[kBlocks]; // a block in use: its leader; a free one: the next free block
    int freeBlock = 0;
    int root = 0, at = 0, zeros = 0, nextNode = kBytes;
    unsigned zeroCount = kBytes + 2, zeroExp = 0, zeroRem = 0;
    unsigned depth = 0, index = 0;
    bool broken = false;

    Tree();
    void factorRemaining();
    int makeBlock(int leader);
    void freeBlockOf(int node) {
        leaders[nodes[node].block] = freeBlock;
        freeBlock = nodes[node].block;
    }
    bool isRightChild(int node) const { return nodes[nodes[node].parent].rightChild == node; }
    int& parentLink(int node) {
        Node& parent = nodes[nodes[node].parent];
        return parent.rightChild == node ? parent.rightChild : parent.leftChild;
    }
    void moveRight(int node);
    void promote(int node);
    int increaseZeroWeight(int byte);
    void eliminateZero(int node);
    void update(int byte);
    bool bit(unsigned b, int& byte);
};

// Every byte unseen, chained 0 to 255; all blocks free.
FgkSections::Tree::Tree() {
    factorRemaining();
    factorRemaining();
    for (int b = 0; b < kBlocks; ++b) leaders[b] = b + 1 < kBlocks ? b + 1 : kNone;
    for (int i = 0; i < kBytes; ++i) {
        nodes[i].rightChild = i + 1 < kBytes ? i + 1 : kNone;
        nodes[i].leftChild = i >= 1 ? i - 1 : kNone;
    }
}

// One byte fewer unseen: zeroCount = 2^zeroExp + zeroRem.
void FgkSections::Tree::factorRemaining() {
    unsigned i = --zeroCount;
    for (zeroExp = 0; i > 1; i >>= 1) ++zeroExp;
    zeroRem = zeroCount - (1u << zeroExp);
}

int FgkSections::Tree::makeBlock(int leader) {
    if (freeBlock == kNone) {
        broken = true;
        return 0;
    }
    const int block = freeBlock;
    freeBlock = leaders[block];
    leaders[block] = leader;
    return block;
}

// Swaps node with the leader of its block (unless that is itself or its parent), in the
// list by weight and in the tree, and makes it the leader.
void FgkSections::Tree::moveRight(int fwd) {
    const int back = leaders[nodes[fwd].block];
    if (fwd == back || nodes[fwd].parent == back || nodes[fwd].weight == 0) return;
    Node &f = nodes[fwd], &k = nodes[back];
    if (k.right == kNone || f.right == kNone || k.left == kNone || f.parent == kNone || k.parent == kNone) {
        broken = true;
        return;
    }
    nodes[k.right].left = fwd;
    if (f.left != kNone) nodes[f.left].right = back;
    int tmp = f.right;
    f.right = k.right;
    if (tmp == back) {
        k.right = fwd;
    } else {
        nodes[tmp].left = back;
        k.right = tmp;
    }
    tmp = k.left;
    k.left = f.left;
    if (tmp == fwd) {
        f.left = back;
    } else {
        nodes[tmp].right = fwd;
        f.left = tmp;
    }
    int& fwdLink = parentLink(fwd);
    int& backLink = parentLink(back);
    std::swap(f.parent, k.parent);
    std::swap(fwdLink, backLink);
    leaders[f.block] = fwd;
}

// Moves node, the leader of its block, into the block of the next weight (or a new one).
void FgkSections::Tree::promote(int node) {
    Node& n = nodes[node];
    const int right = n.right, left = n.left;
    if (n.weight == 0) return;
    if (right == kNone) {
        broken = true;
        return;
    }
    const bool joinsRight = n.weight == nodes[right].weight - 1 && right != root;
    // The parent of the unseen bytes' leaf, whose other child is its left neighbour.
    if (left == n.rightChild && n.leftChild != kNone && nodes[n.leftChild].weight == 0) {
        if (joinsRight && left != kNone) {
            freeBlockOf(node);
            n.block = nodes[right].block;
            nodes[left].block = nodes[right].block;
        }
        return;
    }
    if (left == zeros) return;
    if (left != kNone && nodes[left].block == n.block) leaders[n.block] = left;
    else freeBlockOf(node);
    n.block = joinsRight ? nodes[right].block : makeBlock(node);
}

// A byte seen for the first time: it leaves the unseen ones and gets a leaf of its own,
// beside theirs under a new inner node. The last unseen byte takes their leaf.
int FgkSections::Tree::increaseZeroWeight(int byte) {
    Node& z = nodes[byte];
    if (zeroCount == 1) {
        z.rightChild = kNone;
        z.block = z.right != kNone && nodes[z.right].weight == 1 ? nodes[z.right].block : makeBlock(byte);
        zeros = kNone;
        return byte;
    }
    const int head = zeros, inner = nextNode++;
    if (inner >= kNodes) {
        broken = true;
        return byte;
    }
    Node& in = nodes[inner];
    in = Node();
    in.parent = nodes[head].parent;
    in.right = nodes[head].right;
    in.rightChild = byte;
    in.left = byte;
    if (head == root) {
        root = inner;
        z.block = makeBlock(byte);
        in.block = makeBlock(inner);
    } else {
        if (in.right == kNone || in.parent == kNone) {
            broken = true;
            return byte;
        }
        nodes[in.right].left = inner;
        parentLink(head) = inner;
        in.block = nodes[in.right].weight == 1 ? nodes[in.right].block : makeBlock(inner);
        z.block = in.block;
    }
    eliminateZero(byte);
    in.leftChild = zeros;
    z.right = inner;
    z.left = zeros;
    z.parent = inner;
    z.leftChild = z.rightChild = kNone;
    nodes[zeros].parent = inner;
    nodes[zeros].right = byte;
    return byte;
}

// Takes node out of the chain of unseen bytes.
void FgkSections::Tree::eliminateZero(int node) {
    if (zeroCount == 1) return;
    factorRemaining();
    Node& n = nodes[node];
    if (n.leftChild == kNone) {
        zeros = nodes[zeros].rightChild;
        nodes[zeros].leftChild = kNone;
    } else if (n.rightChild == kNone) {
        nodes[n.leftChild].rightChild = kNone;
    } else {
        nodes[n.rightChild].leftChild = n.leftChild;
        nodes[n.leftChild].rightChild = n.rightChild;
    }
}

// The weights on the path of byte go up by one, the tree kept ordered on the way.
void FgkSections::Tree::update(int byte) {
    int node = nodes[byte].weight == 0 ? increaseZeroWeight(byte) : byte;
    for (int steps = 0; node != root && !broken; ++steps) {
        if (node == kNone || steps > kNodes) {
            broken = true;
            return;
        }
        moveRight(node);
        promote(node);
        nodes[node].weight += 1;
        node = nodes[node].parent;
    }
    nodes[root].weight += 1;
}

// Takes one bit; true with byte set when it ends a byte's code.
bool FgkSections::Tree::bit(unsigned b, int& byte) {
    if (nodes[at].weight == 0) { // the place among the unseen bytes, most significant bit first
        index = index << 1 | b;
        if (++depth < (zeroRem == 0 ? zeroExp : zeroExp + 1)) return false;
    } else {
        at = b ? nodes[at].rightChild : nodes[at].leftChild;
        if (at == kNone) {
            broken = true;
            return false;
        }
        if (nodes[at].leftChild != kNone || (nodes[at].weight == 0 && zeroCount != 1)) return false;
    }
    byte = at;
    if (nodes[at].weight == 0) {
        byte = zeros;
        for (unsigned n = index; n != 0 && byte != kNone && nodes[byte].rightChild != kNone; --n)
            byte = nodes[byte].rightChild;
    }
    depth = index = 0;
    update(byte);
    at = root;
    return !broken;
}

FgkSections::FgkSections() = default;
FgkSections::~FgkSections() = default;

// The section's last byte must be the one whose bits finish its last byte of output.
bool FgkSections::decode(const unsigned char* in, std::size_t inSize, unsigned char* out, std::size_t outSize,
                         std::string& reason) {
    reason = "an fgk-compressed section does not decode";
    if (!tree_) tree_.reset(new Tree);
    std::size_t made = 0;
    for (std::size_t i = 0; i < inSize; ++i)
        for (unsigned mask = 1; mask != 0x100; mask <<= 1) {
            int byte = 0;
            if (!tree_->bit((in[i] & mask) ? 1 : 0, byte)) {
                if (tree_->broken) return false;
                continue;
            }
            out[made++] = static_cast<unsigned char>(byte);
            if (made < outSize) continue;
            if (i + 1 != inSize) reason = "an fgk-compressed section has bytes left over";
            return i + 1 == inSize;
        }
    return false;
}
