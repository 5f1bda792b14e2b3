#!/usr/bin/env python3
"""Checks the HTTP API's OpenAPI document against the OpenAPI 3.0 schema, and any answers given
as SCHEMA=FILE (a name under components/schemas, a file of JSON the server answered) against
the document's own schemas. Exit 0 when all hold, 1 with the reasons otherwise."""
import json
import os
import sys
import warnings

import jsonschema

# Debian 12's jsonschema resolves references with RefResolver, which newer ones only deprecate.
warnings.filterwarnings("ignore", category=DeprecationWarning)

HERE = os.path.dirname(os.path.abspath(__file__))


def nullable_to_draft4(node):
    # OpenAPI 3.0's "nullable" is no JSON Schema keyword: a null is allowed beside the type.
    if isinstance(node, dict):
        node = {k: nullable_to_draft4(v) for k, v in node.items()}
        if node.pop("nullable", False) and "type" in node:
            node["type"] = [node["type"], "null"]
            if "enum" in node:
                node["enum"] = node["enum"] + [None]
        return node
    if isinstance(node, list):
        return [nullable_to_draft4(v) for v in node]
    return node


def main(argv):
    if len(argv) < 2:
        print("usage: check_openapi.py DOCUMENT [SCHEMA=ANSWER.json ...]", file=sys.stderr)
        return 2
    with open(os.path.join(HERE, "openapi-3.0.schema.json")) as f:
        meta = json.load(f)
    with open(argv[1]) as f:
        document = json.load(f)
    failures = [f"document: {e.message} at {list(e.absolute_path)}"
                for e in jsonschema.Draft4Validator(meta).iter_errors(document)]
    components = nullable_to_draft4(document.get("components", {}))
    for arg in argv[2:]:
        name, _, path = arg.partition("=")
        with open(path) as f:
            answer = json.load(f)
        schema = dict(components.get("schemas", {}).get(name, {}))
        if not schema:
            failures.append(f"{name}: no such schema in the document")
            continue
        schema["components"] = components
        resolver = jsonschema.RefResolver.from_schema(schema)
        validator = jsonschema.Draft4Validator(schema, resolver=resolver)
        failures += [f"{name} ({path}): {e.message} at {list(e.absolute_path)}"
                     for e in validator.iter_errors(answer)]
    for line in failures:
        print(line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
