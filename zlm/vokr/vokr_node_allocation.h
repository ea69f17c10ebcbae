// The count boxes of the signal configuration panel talk to the current instance through these:
// the allowed maximum, the reserved count, and the typed count handed to the manager.
#pragma once

class VOKR_TX_MANAGER;

class VOKR_NODE_ALLOCATION_IF {
public:
    explicit VOKR_NODE_ALLOCATION_IF(VOKR_TX_MANAGER* manager) : m_manager(manager) {}
    virtual ~VOKR_NODE_ALLOCATION_IF() = default;
    virtual int get_maximum() const = 0;
    virtual int get_value() const = 0;
    virtual void set_value(int count) = 0;
    VOKR_TX_MANAGER* get_manager() const { return m_manager; }

protected:
    VOKR_TX_MANAGER* m_manager;
};

class VOKR_DATA_NODE_ALLOCATION : public VOKR_NODE_ALLOCATION_IF {
public:
    using VOKR_NODE_ALLOCATION_IF::VOKR_NODE_ALLOCATION_IF;
    int get_maximum() const override;
    int get_value() const override;
    void set_value(int count) override;
};

class VOKR_TRIGGER_NODE_ALLOCATION : public VOKR_NODE_ALLOCATION_IF {
public:
    using VOKR_NODE_ALLOCATION_IF::VOKR_NODE_ALLOCATION_IF;
    int get_maximum() const override;
    int get_value() const override;
    void set_value(int count) override;
};

class VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION : public VOKR_NODE_ALLOCATION_IF {
public:
    using VOKR_NODE_ALLOCATION_IF::VOKR_NODE_ALLOCATION_IF;
    int get_maximum() const override;
    int get_value() const override;
    void set_value(int count) override;
};
