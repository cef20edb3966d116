#pragma once

// Base of the objects that copy themselves from another of their family with
// Assign; a source of an unsuitable kind is ignored without error.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual void Assign(const TPersistent *Source) { (void)Source; }
};
