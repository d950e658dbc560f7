// XDR routines of the status tree: the query header, the node record with its details and
// children, the node list and the result message. A node of type 11 stands for another node: its
// type and status word go on the wire from the node it refers to.
#include <cstdlib>

#include "krxdr.h"
#include "krxdrtypes.h"

int xdr_KRST_HEADER(XDR* xdrs, KRST_HEADER* r) {
    return krxdr_u_long(xdrs, &r->word) && krxdr_bool(xdrs, &r->details) && krxdr_bool(xdrs, &r->children);
}

int xdr_KRST_DETAIL(XDR* xdrs, KRST_DETAIL* r) {
    return xdr_fstring(xdrs, r->name, KRST_DETAIL_NAME_MAX) && xdr_fstring(xdrs, r->value, KRST_DETAIL_VALUE_MAX);
}

int xdr_KRST_NODE(XDR* xdrs, KRST_NODE* n, int childDepth, int detailDepth) {
    const KRST_NODE* source = n;
    if (xdrs->x_op == XDR_ENCODE && n->type == KRST_NODE_REFERENCE && n->ref) source = n->ref;
    int32_t type = (int32_t)source->type;
    uint32_t status = source->status;
    if (!krxdr_enum(xdrs, &type) || !krxdr_u_long(xdrs, &n->session) || !xdr_KRTLADDR(xdrs, &n->address) ||
        !krxdr_u_long(xdrs, &status) || !krxdr_bool(xdrs, &n->detailsOn) ||
        !xdr_fstring(xdrs, n->tag, KRST_TAG_MAX) || !xdr_fstring(xdrs, n->name, KRST_NAME_MAX) ||
        !krxdr_u_long(xdrs, &n->number1) || !krxdr_u_long(xdrs, &n->number2) || !krxdr_bool(xdrs, &n->flag) ||
        !krxdr_u_long(xdrs, &n->detailCount))
        return 0;
    if (xdrs->x_op == XDR_DECODE) {
        n->type = (uint32_t)type;
        n->status = status;
    }
    if (xdrs->x_op == XDR_FREE) {
        // Whatever was decoded is released, however deep.
        if (!xdr_KRST_NODE_LIST(xdrs, &n->children, 0, 0)) return 0;
    } else if (childDepth > 0) {
        if (!xdr_KRST_NODE_LIST(xdrs, &n->children, childDepth - 1, detailDepth)) return 0;
    }
    if (xdrs->x_op == XDR_ENCODE && detailDepth <= 0) {
        uint32_t none = 0;
        KRST_DETAIL* nothing = nullptr;
        return KrXdrArray(xdrs, reinterpret_cast<char**>(&nothing), &none, 0, sizeof(KRST_DETAIL),
                          KRXDR_CAST(xdr_KRST_DETAIL));
    }
    return KrXdrArray(xdrs, reinterpret_cast<char**>(&n->details), &n->detailLength, 0xFFFFFFFF,
                      sizeof(KRST_DETAIL), KRXDR_CAST(xdr_KRST_DETAIL));
}

int xdr_KRST_NODE_LIST(XDR* xdrs, KRST_NODE** head, int childDepth, int detailDepth) {
    switch (xdrs->x_op) {
    case XDR_ENCODE: {
        uint32_t count = 0;
        for (const KRST_NODE* n = *head; n; n = n->next) {
            if (++count > KRST_LIST_MAX) return 0;
        }
        if (!krxdr_u_long(xdrs, &count)) return 0;
        for (KRST_NODE* n = *head; n; n = n->next) {
            if (!xdr_KRST_NODE(xdrs, n, childDepth, detailDepth)) return 0;
        }
        return 1;
    }
    case XDR_DECODE: {
        uint32_t count = 0;
        if (!krxdr_u_long(xdrs, &count) || count > KRST_LIST_MAX) return 0;
        *head = nullptr;
        KRST_NODE** tail = head;
        for (uint32_t i = 0; i < count; ++i) {
            // Each node is linked in before it is decoded, so a failure leaves it to free.
            KRST_NODE* n = static_cast<KRST_NODE*>(calloc(1, sizeof(KRST_NODE)));
            if (!n) return 0;
            *tail = n;
            tail = &n->next;
            if (!xdr_KRST_NODE(xdrs, n, childDepth, detailDepth)) return 0;
        }
        return 1;
    }
    case XDR_FREE: {
        KRST_NODE* n = *head;
        while (n) {
            KRST_NODE* next = n->next;
            xdr_KRST_NODE(xdrs, n, 0, 0);
            free(n);
            n = next;
        }
        *head = nullptr;
        return 1;
    }
    }
    return 0;
}

int xdr_KRST_MESSAGE(XDR* xdrs, KRST_MESSAGE* r) {
    // The header's two flags are how deep the nodes go: details, then children.
    return xdr_KRST_HEADER(xdrs, &r->header) && krxdr_u_long(xdrs, &r->word) &&
           xdr_KRST_NODE_LIST(xdrs, &r->nodes, r->header.children, r->header.details);
}
