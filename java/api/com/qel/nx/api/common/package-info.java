/**
 * Types shared by the client APIs: attributes and attribute sets, managed-object
 * names and severities.
 */
package com.qel.nx.api.common;
