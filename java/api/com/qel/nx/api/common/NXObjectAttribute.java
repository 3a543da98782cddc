package com.qel.nx.api.common;

/**
 * An attribute of a managed object as the client API names it: a small integer
 * code and, through {@link Object#toString()}, the attribute's name text.
 *
 * <p>Implementations are immutable; two attributes with the same class and code
 * are the same attribute.
 */
public interface NXObjectAttribute {
    /**
     * Returns the attribute's code.
     *
     * @return the code, stable across releases
     */
    int intValue();
}
