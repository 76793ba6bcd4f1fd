"""Validates FHIR JSON files against HL7's FHIR R4 JSON schema.

Usage: validate_fhir.py SCHEMA FILE...; prints each error, exits 1 on any.
"""

import json
import sys

import jsonschema


def resource_errors(schema, resource, where):
    """The errors of one resource against its own definition: the schema's
    oneOf of every resource type only says that none matched."""
    kind = resource.get("resourceType") if isinstance(resource, dict) else None
    if kind not in schema["definitions"]:
        return ["%s: no resource type of FHIR R4: %r" % (where, kind)]
    own = jsonschema.Draft6Validator({"$ref": "#/definitions/" + kind,
                                      "definitions": schema["definitions"]})
    # A Bundle's resources are checked one by one below.
    errors = ["%s/%s: %s" % (where, "/".join(map(str, error.absolute_path)), error.message)
              for error in own.iter_errors(resource)
              if not (kind == "Bundle" and error.validator == "oneOf")]
    for index, entry in enumerate(resource.get("entry", []) if kind == "Bundle" else []):
        if isinstance(entry, dict) and "resource" in entry:
            errors += resource_errors(schema, entry["resource"], "%s/entry/%d/resource" % (where, index))
    return errors


def main(schema_path, paths):
    with open(schema_path, encoding="utf-8") as file:
        schema = json.load(file)
    validator = jsonschema.Draft6Validator(schema)
    failed = False
    for path in paths:
        with open(path, encoding="utf-8") as file:
            document = json.load(file)
        if validator.is_valid(document):
            continue
        failed = True
        for error in resource_errors(schema, document, path) or [path + ": invalid"]:
            print(error)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
